#!/usr/bin/env python3
"""Stalls a test run's processes now and then, as a shared machine does.

Several times a second every process of one run is stopped (SIGSTOP) and each is let go again (SIGCONT)
after its own 50 to 150 ms, so that the processes of a test also lose time against each other. A test
whose verdict depends on being scheduled in time fails beside it.

    stallmaker.py --run DIR [--seed N] [--log FILE]

The run's processes are those whose environment names DIR as DECTBRIDGE_SANDBOXES (./dev sets it for the
sandboxes' Wine servers, screens and every test started in them; other runs on the machine have their
own); ctest and this program are left alone. It ends on SIGTERM or SIGINT, or when the process that started
it is gone, and always lets go what it stopped: a guard process lets go the last stall's processes even if
this one is killed outright.
"""
import argparse
import os
import random
import signal
import sys
import time

STALL_MS = (50, 150)  # how long each process is held in one stall
GAP_MS = (100, 400)  # from the end of one stall to the start of the next


def run_processes(marker, spared):
    """The pids of the run's processes now."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) in spared:
            continue
        try:
            with open(f"/proc/{name}/environ", "rb") as environ:
                if marker not in environ.read().split(b"\0"):
                    continue
            with open(f"/proc/{name}/comm", "rb") as comm:
                if comm.read().strip() == b"ctest":
                    continue
        except OSError:
            continue  # gone meanwhile, or not ours to read
        found.append(int(name))
    return found


def signal_all(pids, signum):
    for pid in pids:
        try:
            os.kill(pid, signum)
        except ProcessLookupError:
            pass


def start_guard():
    """A process that lets go the stopped pids it was told of when the pipe from here closes before it was
    told they run again. Answers its pid and the pipe's writing end."""
    read_end, write_end = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(write_end)
        for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(signum, signal.SIG_IGN)
        stopped = []
        with os.fdopen(read_end, "r") as told:
            for line in told:
                words = line.split()
                stopped = [int(word) for word in words[1:]] if words and words[0] == "stopped" else []
        signal_all(stopped, signal.SIGCONT)
        os._exit(0)
    os.close(read_end)
    return pid, os.fdopen(write_end, "w", buffering=1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--run", required=True, help="the run's DECTBRIDGE_SANDBOXES folder")
    parser.add_argument("--seed", type=int, default=None, help="repeats a run's stalls")
    parser.add_argument("--log", default=None, help="where the closing summary goes besides stdout")
    args = parser.parse_args()

    marker = b"DECTBRIDGE_SANDBOXES=" + os.path.abspath(args.run).encode()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    chance = random.Random(seed)
    starter = os.getppid()
    guard_pid, guard = start_guard()
    ending = []
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, lambda *_: ending.append(True))

    stalls = held_ms = longest_ms = 0
    most_processes = 0
    started = time.monotonic()
    while not ending and os.getppid() == starter:
        time.sleep(chance.uniform(*GAP_MS) / 1000)
        if ending:
            break
        pids = run_processes(marker, {os.getpid(), guard_pid, starter})
        if not pids:
            continue
        holds = sorted((chance.uniform(*STALL_MS), pid) for pid in pids)
        guard.write("stopped " + " ".join(str(pid) for pid in pids) + "\n")
        # Signals that arrive now wait until everything stopped here runs again.
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        try:
            stopped_at = time.monotonic()
            signal_all(pids, signal.SIGSTOP)
            for hold_ms, pid in holds:
                delay = stopped_at + hold_ms / 1000 - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                signal_all([pid], signal.SIGCONT)
        finally:
            guard.write("running\n")
            signal.pthread_sigmask(signal.SIG_UNBLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        stalls += 1
        held_ms += holds[-1][0]
        longest_ms = max(longest_ms, holds[-1][0])
        most_processes = max(most_processes, len(pids))
    guard.close()
    os.waitpid(guard_pid, 0)

    seconds = time.monotonic() - started
    summary = (
        f"stallmaker: {stalls} stalls in {seconds:.0f} s ({stalls / max(seconds, 1):.1f} a second), "
        f"{held_ms / 1000:.1f} s held in all, the longest {longest_ms:.0f} ms, up to {most_processes} "
        f"processes at once; seed {seed}"
    )
    print(summary, flush=True)
    if args.log:
        with open(args.log, "a") as log:
            log.write(summary + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
