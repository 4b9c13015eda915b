#pragma once

#include <QtTest>

#include <cstdio>
#include <cstdlib>

// Main functions for test programs that open an audio output: QTEST_MAIN
// and QTEST_GUILESS_MAIN, except that the process ends without destroying
// the program's static objects once the test object and the application
// object are gone.
//
// Qt 6.4's PulseAudio engine is such a static object. Its destructor
// disconnects from the sound server without holding the lock of its event
// thread, while that thread may still be taking the server's answers to
// the last output that was closed; libpulse then, rarely, aborts the
// finished program. Skipping that teardown leaves the connection to the
// operating system, which closes it.
namespace vktest {
[[noreturn]] inline void endProcess(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}
} // namespace vktest

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
        vktest::endProcess(status);                                            \
    }

#define VK_AUDIO_TEST_MAIN(TestObject) VK_AUDIO_TEST_MAIN_IMPL(TestObject, QTEST_MAIN_SETUP())
#define VK_AUDIO_TEST_GUILESS_MAIN(TestObject) \
    VK_AUDIO_TEST_MAIN_IMPL(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
