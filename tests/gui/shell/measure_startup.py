#!/usr/bin/env python3
# Start-up to an idle main window: starts kvgui on the offscreen platform, waits until the
# log shows "Starting new run", sends SIGTERM, and times the process until the log's
# "Ending run". The signal is served by the main event loop, so that moment is the first
# time the window is idle.
import os, signal, statistics, subprocess, sys, time
# Usage: measure_startup.py BUILD/bin/kvgui [STARTS]   (needs kv-gui.ini beside kvgui)
kvgui = sys.argv[1]
log = os.path.join(os.path.dirname(kvgui), "region.txt")
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
times = []
for _ in range(int(sys.argv[2]) if len(sys.argv) > 2 else 15):
    if os.path.exists(log):
        os.remove(log)
    t0 = time.perf_counter()
    p = subprocess.Popen([kvgui], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    sent = False
    while True:
        text = open(log).read() if os.path.exists(log) else ""
        if not sent and "Starting new run" in text:
            p.send_signal(signal.SIGTERM)
            sent = True
        if "Ending run" in text:
            times.append((time.perf_counter() - t0) * 1000)
            break
        if p.poll() is not None and "Ending run" not in text:
            sys.exit("kvgui ended without reaching its event loop")
        time.sleep(0.0005)
    p.wait()
print("start-up to idle: median %.0f ms, min %.0f ms, max %.0f ms over %d starts"
      % (statistics.median(times), min(times), max(times), len(times)))
