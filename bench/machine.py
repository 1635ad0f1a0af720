"""How Wine runs on this machine, for every benchmark's heading: ratios between two Windows
programs hold either way, ratios against a native tool only when Wine runs natively."""
import os


def how_wine_runs():
    """32-bit programs run natively unless binfmt_misc sends them through qemu (scripts/setup)."""
    try:
        for name in os.listdir("/proc/sys/fs/binfmt_misc"):
            if "i386" not in name:
                continue
            with open(os.path.join("/proc/sys/fs/binfmt_misc", name)) as f:
                if f.readline().strip() == "enabled":
                    return "through qemu-i386 (emulated)"
    except OSError:
        pass
    return "natively"


def heading():
    """One line: how Wine runs and the machine's load as the benchmark starts."""
    try:
        load = os.getloadavg()[0]
    except OSError:
        load = float("nan")
    return "Wine runs %s; %d cores, load average %.2f at the start" % (how_wine_runs(), os.cpu_count() or 0, load)
