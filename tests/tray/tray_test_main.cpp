#include "tests/support/qt_test_main.h"

int main(int argc, char** argv)
{
    // The tray is made only outside test instances; the tests that need none set it again.
    qunsetenv("VORNA_TEST_INSTANCE");
    return vorna::test::runQtTests(argc, argv);
}
