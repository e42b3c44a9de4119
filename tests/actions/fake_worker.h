// The actions test program doubles as a worker: started with --action-worker (as the executor
// starts its own executable) it plays the worker that VORNA_FAKE_WORKER names.
#pragma once

namespace vorna::test {

// Runs the fake worker and returns its exit code; never returns for "hang".
int runFakeWorker();

} // namespace vorna::test
