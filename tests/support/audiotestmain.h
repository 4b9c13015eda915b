#pragma once

#include "media/processend.h"

#include <QtTest>

// Main functions for test programs that open an audio output: QTEST_MAIN
// and QTEST_GUILESS_MAIN, except that the process ends without destroying
// static objects once the test object and the application object are gone,
// as the player does (see media/processend.h).
#define VK_AUDIO_TEST_MAIN_IMPL(TestObject, ...)                               \
    int main(int argc, char *argv[])                                           \
    {                                                                          \
        int status = 0;                                                        \
        {                                                                      \
            QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>(); \
            __VA_ARGS__                                                        \
            TestObject tc;                                                     \
            QTEST_SET_MAIN_SOURCE_PATH                                         \
            status = QTest::qExec(&tc, argc, argv);                            \
        }                                                                      \
        processend::endWithoutStaticTeardown(status);                          \
    }

#define VK_AUDIO_TEST_MAIN(TestObject) VK_AUDIO_TEST_MAIN_IMPL(TestObject, QTEST_MAIN_SETUP())
#define VK_AUDIO_TEST_GUILESS_MAIN(TestObject) \
    VK_AUDIO_TEST_MAIN_IMPL(TestObject, QTEST_QAPP_SETUP(QCoreApplication))

// The same for a test that records what it plays: the process plays into
// a sound server of its own (soundprobe::PrivateSoundServer), so that other
// tests playing meanwhile are not heard in its recordings.
#define VK_PRIVATE_SOUND_TEST_MAIN(TestObject)                                 \
    int main(int argc, char *argv[])                                           \
    {                                                                          \
        int status = 1;                                                        \
        {                                                                      \
            soundprobe::PrivateSoundServer server;                             \
            if (!server.start()) {                                             \
                qCritical("the private audio server did not start");           \
            } else {                                                           \
                QCoreApplication app(argc, argv);                              \
                TestObject test;                                               \
                status = QTest::qExec(&test, argc, argv);                      \
            }                                                                  \
        }                                                                      \
        processend::endWithoutStaticTeardown(status);                          \
    }
