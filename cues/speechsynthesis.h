#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

// The sentences of a transcript spoken by espeak-ng, one after another in
// one sound at MfccFrames::sampleRate, with where each one's speech starts
// and ends: the model a recording of the same text is matched against.
// espeak-ng keeps its state in the process, so one synthesis runs at a
// time; the others wait.
class SpeechSynthesis final
{
public:
    struct Span {
        size_t start = 0; // first sample of speech
        size_t end = 0;   // just after the last
    };

    // Silence put between two paragraphs, beyond the pause that ends a
    // sentence.
    static constexpr int paragraphPauseMs = 400;
    // Silence before the first sentence and after the last.
    static constexpr int edgePauseMs = 500;

    // paragraphs: for each sentence, its paragraph number. Returns false,
    // with error set, when espeak-ng cannot be started, or when cancel
    // became true. progress is told the sentences done after each one.
    bool speak(const QStringList &sentences, const QList<int> &paragraphs, const std::atomic<bool> *cancel,
               QString *error, const std::function<void(int done)> &progress = {});

    const std::vector<float> &samples() const { return m_samples; }
    const std::vector<Span> &spans() const { return m_spans; }

private:
    std::vector<float> m_samples;
    std::vector<Span> m_spans;
};
