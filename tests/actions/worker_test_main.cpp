#include "tests/support/qt_test_main.h"

int main(int argc, char** argv)
{
    return vorna::test::runQtTests(argc, argv);
}
