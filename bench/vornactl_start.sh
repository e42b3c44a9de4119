#!/usr/bin/env bash
# `vornactl state` against a running agent, process start to exit, beside a bare `true`: the
# median and the spread of N runs each, in milliseconds. Runs on a private simulated session and
# test instance, so it never meets a real agent. Usage: bench/vornactl_start.sh [BUILD_DIR] [N]
set -euo pipefail
build="${1:-build/release}"
runs="${2:-50}"
work="$(mktemp -d "${TMPDIR:-/tmp}/vornactl-bench.XXXXXX")"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
export VORNA_TEST_INSTANCE="test-$(head -c16 /dev/urandom | od -An -tx1 | tr -d ' \n')"
export VORNA_SIM_SESSION="$work/session.sock"
"$build/platform/vorna-sim" serve "$VORNA_SIM_SESSION" & pids+=("$!")
for _ in $(seq 50); do [ -S "$VORNA_SIM_SESSION" ] && break; sleep 0.1; done
"$build/app/vorna-input-trellan" --agent 2>"$work/agent.err" & pids+=("$!")
for _ in $(seq 100); do "$build/ctl/vornactl" state >/dev/null 2>&1 && break; sleep 0.1; done

# Prints "median min max" of the command's wall time over the runs, in ms.
measure() {
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N); "$@" >/dev/null 2>&1 || true; end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "median %.2f ms  min %.2f  max %.2f\n", a[int((NR+1)/2)]/1000, a[1]/1000, a[NR]/1000}'
}
echo "vornactl state: $(measure "$build/ctl/vornactl" state)"
echo "true:           $(measure true)"
