#pragma once

// The test classes of a folder share one program, so that a build links and runs moc once per
// folder rather than once per class. Each class registers itself with QUORIX_TEST_MAIN (and its
// GUILESS and APPLESS variants, as Qt Test's own macros); the program runs the class named by its
// first argument with the rest of the arguments, one class per process. A class is named by its
// file's base name, as its test is:  tests_bus tst_polling -functions

#include <QtTest>

// The application a test class gets, chosen as Qt Test's own QTEST_MAIN chooses it.
#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#define QUORIX_TEST_APPLICATION QApplication
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#define QUORIX_TEST_APPLICATION QGuiApplication
#else
#define QUORIX_TEST_APPLICATION QCoreApplication
#endif

namespace TestRunner {
using Entry = int (*)(int argc, char **argv);
// sourceFile: the test file's path (__FILE__); its base name names the class.
bool add(const char *sourceFile, Entry entry);
} // namespace TestRunner

#define QUORIX_TEST_ENTRY(TestObject, Application)                                                        \
    namespace {                                                                                           \
    int run_##TestObject(int argc, char **argv)                                                           \
    {                                                                                                     \
        Application app(argc, argv);                                                                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                          \
        TestObject tc;                                                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                                                        \
        return QTest::qExec(&tc, argc, argv);                                                             \
    }                                                                                                     \
    const bool registered_##TestObject = TestRunner::add(__FILE__, run_##TestObject);                  \
    }

#define QUORIX_TEST_MAIN(TestObject) QUORIX_TEST_ENTRY(TestObject, QUORIX_TEST_APPLICATION)
#define QUORIX_TEST_GUILESS_MAIN(TestObject) QUORIX_TEST_ENTRY(TestObject, QCoreApplication)
#define QUORIX_TEST_APPLESS_MAIN(TestObject)                                                              \
    namespace {                                                                                           \
    int run_##TestObject(int argc, char **argv)                                                           \
    {                                                                                                     \
        TestObject tc;                                                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                                                        \
        return QTest::qExec(&tc, argc, argv);                                                             \
    }                                                                                                     \
    const bool registered_##TestObject = TestRunner::add(__FILE__, run_##TestObject);                  \
    }
