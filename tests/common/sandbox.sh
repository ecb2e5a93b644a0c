#!/usr/bin/env bash
# Runs a test program under Wine in the sandbox CTest lent the test (RESOURCE_GROUPS "sandbox:1"): its own
# Wine prefix and wineserver, screen, port shift and temporary folder, described by DIR/<id>/env, which
# ./dev writes (DECTBRIDGE_SANDBOXES=DIR). Test discovery runs before any test, with no sandbox lent: it
# uses sandbox 0. Without DECTBRIDGE_SANDBOXES (ctest by hand) the caller's environment stands.
#   sandbox.sh PROGRAM [ARGUMENTS]...
set -euo pipefail
if [ -n "${DECTBRIDGE_SANDBOXES:-}" ]; then
    id=0
    lent=${CTEST_RESOURCE_GROUP_0_SANDBOX:-} # "id:2,slots:1"
    if [ -n "$lent" ]; then
        id=${lent#id:}
        id=${id%%,*}
    fi
    env=$DECTBRIDGE_SANDBOXES/$id/env
    [ -f "$env" ] || { echo "sandbox.sh: no sandbox $id ($env)" >&2; exit 2; }
    # shellcheck source=/dev/null
    . "$env"
fi
# A test run must end with GoogleTest's verdict: a program that dies after printing a failure, or that
# ends by a crash Wine turns into exit code 0, has not passed.
for argument in "$@"; do
    case "$argument" in
    --gtest_filter=*)
        output=$(mktemp)
        set +e
        wine "$@" 2>&1 | tee "$output"
        code=${PIPESTATUS[0]}
        set -e
        if [ "$code" = 0 ] && { grep -q '^\[  FAILED  \]' "$output" || ! grep -q '^\[  PASSED  \]' "$output"; }; then
            echo "sandbox.sh: the test program ended with code 0 but without GoogleTest's passing verdict" >&2
            code=1
        fi
        # The Wine loader itself (a Unix process) taking a segmentation fault as the program ends, after the
        # program passed and with no Windows exception reported, is Wine's fault, not the test's: it is named
        # here and the program's own verdict stands.
        if [ "$code" = 139 ] && grep -q '^\[  PASSED  \] 1 test\.' "$output" &&
            ! grep -q '^\[  FAILED  \]\|Unhandled exception\|Unhandled page fault\|Unhandled stack overflow' "$output"; then
            echo "sandbox.sh: Wine's own process ended with a segmentation fault after the test had passed" >&2
            code=0
        fi
        rm -f "$output"
        exit "$code"
        ;;
    esac
done
exec wine "$@"
