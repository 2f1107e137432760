#!/usr/bin/env python3
"""kestrova-server under hostile load on loopback, bounded in count and time.

While 1,000 connections trickle in one byte every 2 s from 100 loopback
addresses (127.0.0.2 ... 127.0.0.101, opened again whenever the server closes
them), another address makes 200 list fetches and 200 posts, which must all
be answered. Then four connections flood the server with 200 MB of 1 KB
header lines, opening anew whenever they are refused; every one must be
refused, and the server's peak memory (VmHWM) must stay under 64 MB. On
PostgreSQL the database is then stopped: every post is answered 503 with
Retry-After and the list is still served; once it is started again the very
next post is stored, without restarting the server.

  server_load_test.py --server PATH --backend sqlite|postgresql
                      [--pgcluster SCRIPT] [--no-memory-bound]
"""
import argparse
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SLOW_CLIENTS = 1000
SLOW_ADDRESSES = [f"127.0.0.{i}" for i in range(2, 102)]
NORMAL_ADDRESS = "127.0.0.200"
FLOOD_ADDRESS = "127.0.0.201"
FETCHES = 200
POSTS = 200
FLOOD_BYTES = 200 * 1000 * 1000
FLOOD_CONNECTIONS = 4
PEAK_MEMORY = 64 * 1024 * 1024
ANSWER_PATIENCE = 15.0
PACE = 0.12   # seconds between one normal client's requests
RUN_LIMIT = 150.0

started = time.monotonic()
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, flush=True)


def over_time():
    return time.monotonic() - started > RUN_LIMIT


def request(port, target, source=NORMAL_ADDRESS):
    """One HTTP/1.0 GET on a fresh connection; (status, head, body)."""
    with socket.create_connection(("127.0.0.1", port), timeout=ANSWER_PATIENCE,
                                  source_address=(source, 0)) as conn:
        conn.sendall(f"GET {target} HTTP/1.0\r\nUser-Agent: Kestrova HTTPGet\r\n\r\n".encode())
        raw = b""
        while True:
            chunk = conn.recv(65536)
            if not chunk:
                break
            raw += chunk
    head, _, body = raw.partition(b"\r\n\r\n")
    status = int(head[9:12]) if head.startswith(b"HTTP/1.") else 0
    return status, head.decode("latin-1"), body


class Server:
    def __init__(self, program, database, work):
        self.stderr = open(os.path.join(work, "server.err"), "wb")
        self.process = subprocess.Popen(
            [program, "--listen", "127.0.0.1:0", "--db", database, "--posts-per-minute", "0",
             "--access-log", "off"],
            stdout=subprocess.PIPE, stderr=self.stderr)
        line = self.process.stdout.readline().decode().strip()
        if not line.startswith("listening on 127.0.0.1:"):
            raise RuntimeError(f"the server did not start: {line!r}")
        self.port = int(line.rsplit(":", 1)[1])

    def alive(self):
        return self.process.poll() is None

    def peak_memory(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) * 1024
        return 0

    def open_files(self):
        return len(os.listdir(f"/proc/{self.process.pid}/fd"))

    def stop(self):
        if not self.alive():
            return self.process.returncode
        self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()


class SlowClients(threading.Thread):
    """Keeps SLOW_CLIENTS connections open, each sending one byte every 2 s."""

    REQUEST = b"GET /counter/kestrova.shtml HTTP/1.0\r\nX-Slow: " + b"s" * 4000

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port = port
        self.halt = threading.Event()
        self.connections = [None] * SLOW_CLIENTS
        self.sent = [0] * SLOW_CLIENTS
        self.opened = 0
        self.refused = 0

    def open(self, i):
        conn = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        conn.bind((SLOW_ADDRESSES[i % len(SLOW_ADDRESSES)], 0))
        conn.setblocking(False)
        try:
            conn.connect(("127.0.0.1", self.port))
        except BlockingIOError:
            pass
        except OSError:
            conn.close()
            return
        self.connections[i] = conn
        self.sent[i] = 0
        self.opened += 1

    def tick(self, i):
        conn = self.connections[i]
        if conn is None:
            return self.open(i)
        try:
            if conn.recv(4096, socket.MSG_DONTWAIT) is not None:
                # Answered or closed by the server (its deadline, or its caps).
                self.refused += 1
                conn.close()
                return self.open(i)
        except BlockingIOError:
            pass
        except OSError:
            conn.close()
            return self.open(i)
        try:
            conn.send(self.REQUEST[self.sent[i] % len(self.REQUEST):][:1])
            self.sent[i] += 1
        except (BlockingIOError, InterruptedError):
            pass
        except OSError:
            conn.close()
            self.open(i)

    def run(self):
        for i in range(SLOW_CLIENTS):
            self.open(i)
        # A tenth of them every 0.2 s: each one byte every 2 s.
        step = 0
        while not self.halt.wait(0.2):
            for i in range(step % 10, SLOW_CLIENTS, 10):
                self.tick(i)
            step += 1

    def stop(self):
        self.halt.set()
        self.join()
        for conn in self.connections:
            if conn is not None:
                conn.close()


def normal_traffic(server):
    """200 list fetches and 200 posts from four threads; all must be answered."""
    errors = []
    lock = threading.Lock()
    jobs = [("page", i) for i in range(FETCHES)] + [("post", i) for i in range(POSTS)]
    jobs.sort(key=lambda job: job[1])

    def worker(mine):
        for n, (kind, i) in enumerate(mine):
            # Spread over 12 s, so that the slow connections meet their
            # deadline and open again while the traffic goes on.
            time.sleep(max(0.0, begun + n * PACE - time.monotonic()))
            try:
                if kind == "page":
                    status, _, body = request(server.port, "/counter/kestrova.shtml")
                    ok = status == 200 and b"</html>" in body.lower()
                else:
                    status, _, body = request(server.port,
                                              f"/cgi-bin/kestrova.cgi?name=load{i}&date=1.1.26&score={i}")
                    ok = status == 200 and body == b"Score received.\n"
            except OSError as error:
                ok, status = False, str(error)
            if not ok:
                with lock:
                    errors.append(f"{kind} {i}: {status}")

    threads = [threading.Thread(target=worker, args=(jobs[t::4],)) for t in range(4)]
    begun = time.monotonic()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return errors, time.monotonic() - begun


def flood(server):
    """FLOOD_BYTES of 1 KB header lines from FLOOD_CONNECTIONS connections at a time."""
    line = b"X-Flood: " + b"f" * 1013 + b"\r\n"
    share = FLOOD_BYTES // FLOOD_CONNECTIONS
    results = []
    lock = threading.Lock()

    def flooder():
        sent = connections = refused = 0
        while sent < share and not over_time():
            connections += 1
            conn = socket.create_connection(("127.0.0.1", server.port), timeout=ANSWER_PATIENCE,
                                            source_address=(FLOOD_ADDRESS, 0))
            try:
                conn.sendall(b"GET /counter/kestrova.shtml HTTP/1.0\r\n")
                block = line * 256
                while sent < share:
                    conn.sendall(block)
                    sent += len(block)
            except OSError:
                pass   # the server closed it
            try:
                answer = conn.recv(4096)
                refused += answer.startswith(b"HTTP/1.1 431") or answer == b""
            except OSError:
                refused += 1   # reset: closed with the flood still unread
            conn.close()
        with lock:
            results.append((sent, connections, refused))

    threads = [threading.Thread(target=flooder) for _ in range(FLOOD_CONNECTIONS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return results


def postgres_outage(server, cluster, state):
    """The database stopped mid-stream, then started again."""
    subprocess.run(["bash", cluster, "pause", state], check=True, timeout=60)
    for i in range(20):
        status, head, body = request(server.port, f"/cgi-bin/kestrova.cgi?name=away{i}&score=1")
        if status != 503 or "\r\nRetry-After: " not in head or body.count(b"\n") != 1:
            fail(f"post {i} while the database is away: {status} {body!r}")
            break
    status, _, body = request(server.port, "/counter/kestrova.shtml")
    if status != 200 or b"load199" not in body:
        fail(f"the list while the database is away: {status}")
    if not server.alive():
        fail("the server died while the database was away")
        return
    subprocess.run(["bash", cluster, "resume", state], check=True, timeout=60)
    status, _, body = request(server.port, "/cgi-bin/kestrova.cgi?name=back&date=1.1.26&score=999999")
    if status != 200:
        fail(f"the first post after the database came back: {status} {body!r}")
    status, _, body = request(server.port, "/counter/kestrova.shtml")
    if b">back<" not in body:
        fail("the post after the database came back is not on the list")
    print("database stopped: posts answered 503, the list served; started again: the next post stored",
          flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--backend", choices=["sqlite", "postgresql"], required=True)
    parser.add_argument("--pgcluster")
    parser.add_argument("--no-memory-bound", action="store_true",
                        help="skip the peak memory check (a sanitized build uses far more)")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="kestrova-load-")
    state = os.path.join(work, "pg")
    server = None
    slow = None
    try:
        if args.backend == "postgresql":
            subprocess.run(["bash", args.pgcluster, "start", state], check=True, timeout=120)
            with open(os.path.join(state, "url")) as url:
                database = url.read().strip()
        else:
            database = os.path.join(work, "scores.db")
        server = Server(args.server, database, work)

        slow = SlowClients(server.port)
        slow.start()
        # The slow connections are all there before the normal traffic starts.
        deadline = time.monotonic() + 20
        while server.open_files() < SLOW_CLIENTS and time.monotonic() < deadline:
            time.sleep(0.1)
        held = server.open_files()
        if held < SLOW_CLIENTS:
            fail(f"the server holds only {held} descriptors with {SLOW_CLIENTS} slow clients")
        errors, took = normal_traffic(server)
        print(f"normal traffic: {FETCHES} fetches and {POSTS} posts in {took:.1f} s beside "
              f"{held} open descriptors; {slow.refused} slow connections closed by the server so far",
              flush=True)
        if errors:
            fail(f"{len(errors)} normal requests not answered, first: {errors[:3]}")
        if slow.refused < SLOW_CLIENTS // 2:
            fail(f"only {slow.refused} slow connections were closed at their deadline")

        results = flood(server)
        sent = sum(r[0] for r in results)
        connections = sum(r[1] for r in results)
        refused = sum(r[2] for r in results)
        print(f"flood: {sent / 1e6:.0f} MB over {connections} connections, {refused} refused", flush=True)
        if refused != connections:
            fail(f"only {refused} of {connections} flooding connections were refused")
        if sent < FLOOD_BYTES and not over_time():
            fail(f"the flood stopped at {sent} bytes")
        slow.stop()
        slow = None

        status, _, body = request(server.port, "/counter/kestrova.shtml")
        if status != 200 or b">load199<" not in body:
            fail(f"the list after the load: {status}")
        peak = server.peak_memory()
        print(f"peak memory (VmHWM): {peak / 1024 / 1024:.1f} MB", flush=True)
        if not args.no_memory_bound and peak >= PEAK_MEMORY:
            fail(f"peak memory {peak} bytes, over {PEAK_MEMORY}")

        if args.backend == "postgresql":
            postgres_outage(server, args.pgcluster, state)
        if not server.alive():
            fail(f"the server died: exit {server.process.returncode}")
        code = server.stop()
        if code != 0:
            fail(f"the server exited with {code} on SIGTERM")
        server = None
    finally:
        if slow is not None:
            slow.stop()
        if server is not None:
            server.process.kill()
            server.process.wait()
        if args.backend == "postgresql":
            subprocess.run(["bash", args.pgcluster, "stop", state], timeout=60)
        errors_file = os.path.join(work, "server.err")
        if failures and os.path.exists(errors_file):
            with open(errors_file, "rb") as err:
                sys.stdout.write("server stderr (end):\n" + err.read()[-2000:].decode("utf-8", "replace"))
        shutil.rmtree(work, ignore_errors=True)
    print(f"{'FAILED' if failures else 'passed'} in {time.monotonic() - started:.1f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
