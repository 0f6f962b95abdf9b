#!/usr/bin/env python3
"""Soak run of the built program: many hours of renders and cloud downloads, watched from outside.

    scripts/soak.py PROGRAM HOURS

PROGRAM is copied into a fresh folder with a temporary HOME, configuration and runtime folder,
and started as a user starts it, on a private X server (Xvfb) with trayer as the notification
area and a private session bus. Its settings make it render every 10 s and download the cloud
map every minute; the cloud host is reached through the proxy setting, which points at an HTTP
server on loopback run by this script.

Every minute the program's resident memory, open file descriptors and threads are sampled
(child processes such as xplanet are not counted). After the first ten minutes (SOAK_SETTLE_MIN
changes that, for short trial runs) the least-squares slope of the resident memory is printed
in kB/hour, and the descriptor and thread counts of the first sample after settling are
compared with the last. At the end the program is asked to quit (SIGTERM) and the folders are
checked for left-over files: partial downloads, temporary pictures, anything in its TMPDIR.
The exit code is 0 when the slope is under 100 kB/hour and nothing grew or was left over.
"""
import datetime
import http.server
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

SLOPE_TARGET_KB_PER_HOUR = 100.0


def log(text):
    print(text, flush=True)


def proc_status(pid):
    values = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key, _, rest = line.partition(":")
                values[key] = rest.strip()
    except OSError:
        return None
    return values


def fd_count(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return -1


def slope_per_hour(samples):
    """Least-squares slope of (seconds, kB) pairs, in kB per hour."""
    n = len(samples)
    if n < 2:
        return 0.0
    mx = sum(t for t, _ in samples) / n
    my = sum(v for _, v in samples) / n
    sxx = sum((t - mx) ** 2 for t, _ in samples)
    if sxx == 0:
        return 0.0
    sxy = sum((t - mx) * (v - my) for t, v in samples)
    return sxy / sxx * 3600.0


def make_cloud_map(folder):
    path = os.path.join(folder, "clouds.jpg")
    subprocess.run(["convert", "-size", "2048x1024", "-seed", "7", "plasma:black-white", "-colorspace", "Gray",
                    path], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(path, "rb") as f:
        return f.read()


class CloudHost(http.server.ThreadingHTTPServer):
    """Answers proxy requests for any host by their path: the cloud map, else 404."""

    daemon_threads = True

    def __init__(self, cloud):
        self.cloud = cloud
        self.cloud_gets = 0
        self.requests = 0
        self.lock = threading.Lock()
        super().__init__(("127.0.0.1", 0), CloudHandler)


class CloudHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, body):
        with self.server.lock:
            self.server.requests += 1
            if body and self.command == "GET" and self.path.endswith("/clouds_2000.jpg"):
                self.server.cloud_gets += 1
        if self.path.endswith("/clouds_2000.jpg"):
            data = self.server.cloud
            self.send_response(200)
            self.send_header("Content-Type", "image/jpeg")
        else:
            data = b"not here\n"
            self.send_response(404)
            self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if body:
            self.wfile.write(data)

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)


def start_xvfb():
    read_fd, write_fd = os.pipe()
    # "-s 0": the server's screen saver would start after ten minutes, and the program rightly
    # starts nothing while a screen saver runs.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-noreset", "-s", "0"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as f:
        while not number.endswith(b"\n"):
            chunk = f.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


def write_settings(ini_path, port, hours):
    # The minutes of the run (and a little more) as fixed download times: one download a minute.
    now = datetime.datetime.now()
    minutes = min(1440, int(hours * 60) + 15)
    times = []
    for i in range(minutes):
        t = now + datetime.timedelta(minutes=i)
        times.append(f"{t.hour:02d}:{t.minute:02d}")
    lines = [
        "[Config]",
        "File=/usr/bin/xplanet",
        "StartEvery=10",
        "Start every x sec=1",
        "Start Minimized=1",
        "Start App at start=1",
        "Download from HTTP=1",
        "Web Adress=http://xplanet.sourceforge.net/clouds_2000.jpg",
        # "#": no reachability test before a download, which would leave loopback.
        "Server to ping=#",
        "Use Proxy=1",
        "Proxy=127.0.0.1",
        f"Proxy Port={port}",
        "check MD5 of Cloudfile=0",
        "Check for updates every day=0",
        "Check extra downloads x times per day=0",
        "Start XPlanet after Download=0",
        "[Time]",
        f"How often={len(times) - 1}",
    ] + [f"Time {i}={t}" for i, t in enumerate(times)]
    with open(ini_path, "w") as f:
        f.write("\r\n".join(lines) + "\r\n")


def tree(root):
    found = set()
    for folder, _, files in os.walk(root):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def leftovers(root, tmp):
    suspicious = []
    for path in sorted(tree(root)):
        name = os.path.basename(path)
        if name.endswith((".part", ".tmp", "~")) or ".tmp" in name or name.startswith(".~"):
            suspicious.append(path)
    suspicious += [os.path.join("tmp", p) for p in sorted(tree(tmp))]
    return suspicious


def main():
    if len(sys.argv) != 3:
        print("usage: soak.py PROGRAM HOURS", file=sys.stderr)
        return 2
    program = os.path.abspath(sys.argv[1])
    hours = float(sys.argv[2])
    settle_s = float(os.environ.get("SOAK_SETTLE_MIN", "10")) * 60
    sample_s = float(os.environ.get("SOAK_SAMPLE_S", "60"))
    if not os.access(program, os.X_OK):
        print(f"no program at {program}", file=sys.stderr)
        return 2

    root = tempfile.mkdtemp(prefix="globewall-soak-")
    folders = {name: os.path.join(root, name) for name in ("bin", "home", "config", "runtime", "tmp", "run")}
    for path in folders.values():
        os.makedirs(path, mode=0o700)
    exe = os.path.join(folders["bin"], "Globewall")
    shutil.copy2(program, exe)

    server = CloudHost(make_cloud_map(folders["run"]))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    write_settings(os.path.join(folders["bin"], "Globewall.ini"), server.server_address[1], hours)

    xvfb, display = start_xvfb()
    children = [xvfb]
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                 "NO_PROXY", "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP"):
        env.pop(name, None)
    env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=folders["home"], XDG_CONFIG_HOME=folders["config"],
               XDG_RUNTIME_DIR=folders["runtime"], XDG_CACHE_HOME=os.path.join(folders["home"], ".cache"),
               TMPDIR=folders["tmp"])
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                            f"--address=unix:path={folders['run']}/bus"], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, env=env)
    children.append(bus)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
    children.append(subprocess.Popen(["trayer", "--edge", "top", "--height", "24", "--widthtype", "request"],
                                     env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    time.sleep(1)

    out = open(os.path.join(folders["run"], "program.out"), "wb")
    started = time.monotonic()
    app = subprocess.Popen([exe], env=env, cwd=folders["bin"], stdout=out, stderr=subprocess.STDOUT)
    log(f"soak of {hours:g} h: program {program}, copy in {root}, display {display}, "
        f"loopback cloud host on port {server.server_address[1]}")
    log(f"{'minute':>6} {'RSS kB':>9} {'HWM kB':>9} {'fds':>5} {'threads':>7} {'renders':>8} {'cloud GETs':>10}")

    samples = []  # (seconds, rss kB, fds, threads)
    renders = 0
    seen_xplanet = set()
    end = started + hours * 3600
    next_sample = started + sample_s
    failure = None
    while time.monotonic() < end:
        if app.poll() is not None:
            failure = f"the program ended by itself (code {app.returncode})"
            break
        # xplanet runs a second or so each ten seconds: look often enough to count them.
        try:
            with open(f"/proc/{app.pid}/task/{app.pid}/children") as f:
                for child in f.read().split():
                    try:
                        with open(f"/proc/{child}/comm") as c:
                            if c.read().strip() == "xplanet" and child not in seen_xplanet:
                                seen_xplanet.add(child)
                                renders += 1
                    except OSError:
                        pass
        except OSError:
            pass
        now = time.monotonic()
        if now >= next_sample:
            next_sample += sample_s
            status = proc_status(app.pid)
            if status is None:
                continue
            rss = int(status["VmRSS"].split()[0])
            hwm = int(status["VmHWM"].split()[0])
            threads = int(status["Threads"])
            fds = fd_count(app.pid)
            samples.append((now - started, rss, fds, threads))
            log(f"{(now - started) / 60:6.0f} {rss:9d} {hwm:9d} {fds:5d} {threads:7d} {renders:8d} "
                f"{server.cloud_gets:10d}")
        time.sleep(0.2)

    before = tree(root)
    if app.poll() is None:
        app.send_signal(signal.SIGTERM)
        try:
            app.wait(30)
        except subprocess.TimeoutExpired:
            app.kill()
            app.wait()
            failure = failure or "the program did not end within 30 s of SIGTERM"
    time.sleep(1)
    left = leftovers(root, folders["tmp"])
    for child in reversed(children):
        child.terminate()
        try:
            child.wait(10)
        except subprocess.TimeoutExpired:
            child.kill()
    server.shutdown()

    settled = [s for s in samples if s[0] >= settle_s]
    ok = failure is None
    if failure:
        log(failure)
    log(f"renders seen: {renders}, cloud map downloads: {server.cloud_gets}, requests: {server.requests}")
    if len(settled) >= 2:
        slope = slope_per_hour([(t, rss) for t, rss, _, _ in settled])
        first, last = settled[0], settled[-1]
        log(f"memory slope after the first {settle_s / 60:g} minutes: {slope:.1f} kB/hour "
            f"({len(settled)} samples, RSS {first[1]} kB -> {last[1]} kB; target under "
            f"{SLOPE_TARGET_KB_PER_HOUR:.0f})")
        log(f"file descriptors: {first[2]} -> {last[2]} (max {max(s[2] for s in settled)}); "
            f"threads: {first[3]} -> {last[3]} (max {max(s[3] for s in settled)})")
        ok = ok and slope < SLOPE_TARGET_KB_PER_HOUR and last[2] <= first[2] and last[3] <= first[3]
    else:
        log("too short for a slope: fewer than two samples after settling")
        ok = False
    if renders == 0 or server.cloud_gets == 0:
        log("nothing was rendered or downloaded: the run says nothing")
        ok = False
    if left:
        log("left-over files: " + ", ".join(left))
        ok = False
    else:
        log(f"left-over files: none ({len(before)} files in the folders, the program's settings and logs)")
    if ok:
        shutil.rmtree(root, ignore_errors=True)
    else:
        log(f"kept for a look: {root}")
    log("soak " + ("passed" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
