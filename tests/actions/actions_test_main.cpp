#include "tests/actions/fake_worker.h"
#include "tests/support/qt_test_main.h"

#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--action-worker") == 0)
            return vorna::test::runFakeWorker();
    }
    return vorna::test::runQtTests(argc, argv);
}
