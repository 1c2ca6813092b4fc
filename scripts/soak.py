"""Endurance run of the engine inside zyl-hostsim; started by scripts/soak.sh.

Sixteen clients stay on the engine for the whole run: eight subscribers (two of them slow
readers) and eight that send every text command and every structured method in a loop.
Every minute the host detaches and attaches the surface; every five minutes origins.txt and
settings.json are rewritten. Each minute one line records the simulator's resident memory,
open descriptors, threads and the reply latency. Every reply is checked against the first
answer the engine gave to the same request (volatile members such as elapsed times aside)
and against the fixed answers known here. The run ends with the simulator's ledger.
"""
import argparse
import asyncio
import collections
import json
import os
import re
import statistics
import subprocess
import sys
import threading
import time

import websockets

URL = "ws://127.0.0.1:7890"
ORIGIN = "http://soak.invalid"
VERSION = "1.2.4"
PAUSE_BETWEEN_REQUESTS = 0.04  # about 25 requests a second per client, well under a core
SLOW_READER_NAP = 15.0  # slow readers leave their socket unread this long, then drain it
VOLATILE_MEMBERS = {"elapsedMs", "ageMs"}
# Node dumps name each host handle by a number that is new on every call.
HANDLE_NUMBER = re.compile(r"\bid=\d+")

TEXT_COMMANDS = [
    "get.version",
    "get.info",
    "get.commands",
    "get.sequence:17",
    "get.angle:1016064000000:-1",
    "get.angle.marker:Question 2",
    "get.clipsize:1016064000000:-1",
    "get.clipsize.marker:Question 2",
    "get.transitions:0:1016064000000:-1",
    "exec:View:cmd.view.zoomtofit",
    "multicam.angle:2",
    "dump.angle:1016064000000",
    "debug.tlscan:0:200:3000",
    "cmd.view.zoomtofit",  # a host command by name: no reply
    "get.angle:",  # parse error
    "multicam.angle:99",  # range error
]
# The text protocol searches the timeline that answered last first, so a question that two
# timelines answer differently gets either answer, following the other clients' queries:
# from 0 to 4 s timeline 3 has a clip that opens with a dip to black, timeline 17 one
# without transitions.
EITHER_TEXT_REPLIES = {
    "get.transitions:0:1016064000000:-1": [["transitions:-:0:-:0"],
                                           ["transitions:ZYL.DipToBlack:254016000000:-:0"]],
}
# Fixed answers: the whole reply list of a text command.
KNOWN_TEXT_REPLIES = {
    "get.version": ["version:" + VERSION],
    "exec:View:cmd.view.zoomtofit": ["exec.ok:View:cmd.view.zoomtofit"],
    "multicam.angle:2": ["multicam.angle.ok:2"],
    "cmd.view.zoomtofit": [],
    "get.angle:": ["angle.error:parse"],
    "multicam.angle:99": ["multicam.angle.error:range"],
}
METHOD_PARAMS = {
    "commands.run": {"command": "cmd.view.zoomtofit", "category": "View"},
    "multicam.setAngle": {"angle": 2},
    "sequence.get": {"timeline": 17},
    "angle.get": {"ticks": 1016064000000, "track": -1},
    "angle.atMarker": {"name": "Question 2"},
    "clip.size": {"ticks": 1016064000000},
    "clip.sizeAtMarker": {"name": "Question 2"},
    # pinned to one timeline: unpinned, it answers as the text command below does
    "clip.transitions": {"start": 0, "end": 1016064000000, "track": -1, "timeline": 17},
    "markers.list": {"timeline": 17},
    "debug.dumpAngle": {"ticks": 1016064000000},
    "debug.timelineScan": {"from": 0, "to": 200, "budgetMs": 3000},
}
# Answers that follow the transport the soak itself drives: checked for shape only, by the
# members that must be true or false.
SHAPE_ONLY_METHODS = {
    "transport.get": ("playing", "paused", "recording", "rewind", "fastForward"),
    "vitals.get": ("playing", "paused", "recording", "rewind", "ffwd"),
}
# The timelines the engine knows, in its search order, with the one searched first marked:
# which it knows and their order follow the other clients' queries and every detach, so each
# timeline's entry is checked on its own.
PER_TIMELINE_METHODS = {"sequences.list"}
# Node dumps cover the timelines the engine knows at the time, which a detach forgets: each
# timeline's part is checked on its own.
DUMP_METHODS = {"debug.dumpAngle"}
DUMP_COMMAND_PREFIX = "dump.angle:"
TIMELINE_HEADING = re.compile(r"^--- timeline (-?\d+) ---$")
DUMP_TALLY = re.compile(r"^probed (\d+) timelines, (\d+) with a node at this time, printed (\d+)$")
KNOWN_METHOD_RESULTS = {"version": {"version": VERSION}}


def without_volatile(value):
    if isinstance(value, dict):
        return {k: without_volatile(v) for k, v in value.items() if k not in VOLATILE_MEMBERS}
    if isinstance(value, list):
        return [without_volatile(v) for v in value]
    if isinstance(value, str):
        return HANDLE_NUMBER.sub("id=#", value)
    return value


def comparable_text(reply):
    """A text reply with its volatile JSON members and handle numbers removed."""
    if reply.startswith("[dump] "):
        return HANDLE_NUMBER.sub("id=#", reply)
    kind, colon, payload = reply.partition(":")
    if colon and payload.startswith("{"):
        try:
            return kind + ":" + json.dumps(without_volatile(json.loads(payload)), sort_keys=True)
        except ValueError:
            return reply
    return reply


class Tally:
    """What every client saw, read and reset by the minute recorder."""

    def __init__(self):
        self.lock = threading.Lock()
        self.latencies = []
        self.replies_checked = 0
        self.wrong = []
        self.pushes = 0
        self.cut_by_detach = 0
        self.reconnects = 0
        self.expected = {}

    def check(self, key, got, known=None):
        """Compares with the known answer, or else with the first answer seen for key."""
        with self.lock:
            self.replies_checked += 1
            want = known if known is not None else self.expected.setdefault(key, got)
            if got != want:
                self.wrong.append({"request": key, "got": got, "want": want})

    def check_one_of(self, key, got, answers):
        """Checks that got is one of the known answers."""
        self.check(key, got, got if got in answers else answers)

    def fault(self, what):
        with self.lock:
            self.wrong.append({"fault": what})

    def count(self, name, n=1):
        with self.lock:
            setattr(self, name, getattr(self, name) + n)

    def latency(self, seconds):
        with self.lock:
            self.latencies.append(seconds)

    def take_latencies(self):
        with self.lock:
            taken, self.latencies = self.latencies, []
        return taken


class Simulator:
    """zyl-hostsim on pipes; its stdout lines are read on a thread and checked."""

    def __init__(self, binary, settings, tally):
        env = dict(os.environ, APPDATA=settings)
        self.process = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, env=env, bufsize=1)
        self.tally = tally
        self.lines = []
        self.changed = threading.Condition()
        self.execs = 0
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stdout:
            try:
                line = json.loads(raw)
            except ValueError:
                self.tally.fault("simulator printed " + raw.strip())
                continue
            if line.get("event") == "error":
                self.tally.fault("simulator refused " + json.dumps(line))
            if line.get("event") == "exec":
                self.execs += 1
                if line.get("command") not in ("cmd.view.zoomtofit", "cmd.multicam.choosenocut.camera2"):
                    self.tally.fault("unexpected host command " + json.dumps(line))
            with self.changed:
                self.lines.append(line)
                self.changed.notify_all()
        with self.changed:
            self.changed.notify_all()

    def wait_for(self, test, timeout=30.0, start=0):
        """The first line from index start on that passes test; None after timeout."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while True:
                for line in self.lines[start:]:
                    if test(line):
                        return line
                start = len(self.lines)
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    return None
                self.changed.wait(left)

    def run(self, command, timeout=30.0):
        """Sends one stdin command and waits until the simulator has carried it out."""
        with self.changed:
            start = len(self.lines)
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        done = self.wait_for(lambda line: line.get("command") == command and
                             line.get("event") in ("ok", "error"), timeout, start)
        if done is None or done.get("event") != "ok":
            self.tally.fault("stdin command %r: %s" % (command, done))

    def sample(self):
        pid = self.process.pid
        status = {}
        with open("/proc/%d/status" % pid) as file:
            for row in file:
                key, _, value = row.partition(":")
                status[key] = value.split()
        return {"rssKiB": int(status["VmRSS"][0]), "threads": int(status["Threads"][0]),
                "fds": len(os.listdir("/proc/%d/fd" % pid))}

    def quit(self):
        self.process.stdin.write("quit\n")
        self.process.stdin.flush()
        code = self.process.wait(60)
        self.reader.join(10)
        ledgers = [line for line in self.lines if line.get("event") == "ledger"]
        return (ledgers[-1] if ledgers else None), code


class Lifecycle:
    """Which attachment a connection belongs to, so that a close by a detach is told apart."""

    def __init__(self):
        self.detaches = 0
        self.attached = asyncio.Event()
        self.attached.set()


async def connect(life, tally, protocol2, subscriptions=(), max_queue=32):
    """Opens a connection once the surface is attached; the listener may still be starting."""
    for _ in range(100):
        await life.attached.wait()
        epoch = life.detaches
        try:
            socket = await websockets.connect(
                URL, origin=ORIGIN, subprotocols=["zyl.v2"] if protocol2 else None,
                max_queue=max_queue, ping_interval=None, open_timeout=10, max_size=1 << 24)
        except (OSError, websockets.exceptions.WebSocketException, asyncio.TimeoutError):
            await asyncio.sleep(0.2)
            continue
        if protocol2:
            hello = json.loads(await socket.recv())
            if hello.get("op") != "hello" or hello.get("authentication") is not None:
                tally.fault("hello: %r" % hello)
            await socket.send(json.dumps({"op": "identify", "protocol": 2,
                                          "subscriptions": list(subscriptions)}))
            identified = json.loads(await socket.recv())
            if identified != {"op": "identified", "protocol": 2,
                              "subscriptions": list(subscriptions)}:
                tally.fault("identified: %r" % identified)
        elif subscriptions:
            await socket.send("vitals.subscribe")
        return socket, epoch
    raise RuntimeError("the engine did not take a connection for 20 s")


def closed_by_detach(life, epoch, tally, error):
    if life.detaches > epoch:
        return True
    tally.fault("connection closed outside a detach: %r" % error)
    return False


async def text_looper(life, tally, stop):
    socket, epoch = await connect(life, tally, False)
    while not stop.is_set():
        for command in TEXT_COMMANDS:
            started = time.monotonic()
            try:
                await socket.send(command)
                # get.version after every command marks where its replies end
                await socket.send("get.version")
                replies = []
                markers = 2 if command == "get.version" else 1
                while markers > 0:
                    reply = await socket.recv()
                    replies.append(reply)
                    if reply == "version:" + VERSION:
                        markers -= 1
                replies.pop()
            except websockets.exceptions.ConnectionClosed as error:
                socket, epoch = await reconnect(life, tally, epoch, error, False)
                continue
            tally.latency(time.monotonic() - started)
            if command.startswith(DUMP_COMMAND_PREFIX):
                check_dump(tally, "text " + command,
                           [r[len("[dump] "):] if r.startswith("[dump] ") else "?" + r
                            for r in replies])
            elif command in EITHER_TEXT_REPLIES:
                tally.check_one_of("text " + command, replies, EITHER_TEXT_REPLIES[command])
            else:
                tally.check("text " + command, [comparable_text(r) for r in replies],
                            KNOWN_TEXT_REPLIES.get(command))
            await asyncio.sleep(PAUSE_BETWEEN_REQUESTS)
            if stop.is_set():
                break
    await socket.close()


async def reconnect(life, tally, epoch, error, protocol2):
    """Counts a looper's connection that the engine closed, and opens a new one."""
    if closed_by_detach(life, epoch, tally, error):
        tally.count("cut_by_detach")
    tally.count("reconnects")
    return await connect(life, tally, protocol2)


def method_key(method):
    return "method %s %s" % (method, json.dumps(METHOD_PARAMS.get(method, {}), sort_keys=True))


def check_response(tally, method, response, request_id):
    if response.get("op") != "response" or response.get("id") != request_id:
        tally.fault("%s answered %r" % (method, response))
        return
    if method in DUMP_METHODS:
        result = response.get("result") or {}
        if response.get("ok") is not True or not isinstance(result.get("lines"), list):
            tally.fault("%s answered %r" % (method, response))
        else:
            check_dump(tally, method_key(method), result["lines"])
        return
    if method in SHAPE_ONLY_METHODS:
        result = response.get("result") or {}
        good = response.get("ok") is True and all(
            isinstance(result.get(flag), bool) for flag in SHAPE_ONLY_METHODS[method])
        tally.check(method_key(method), good, True)
        return
    if method in PER_TIMELINE_METHODS:
        entries = (response.get("result") or {}).get("sequences")
        if response.get("ok") is not True or not entries:
            tally.fault("%s answered %r" % (method, response))
            return
        for entry in entries:
            described = {k: v for k, v in entry.items() if k != "current"}
            tally.check("%s timeline %s" % (method, entry.get("timelineID")), described)
        return
    body = {k: v for k, v in response.items() if k != "id"}
    tally.check(method_key(method), without_volatile(body),
                None if method not in KNOWN_METHOD_RESULTS else
                {"op": "response", "ok": True, "result": KNOWN_METHOD_RESULTS[method]})


def scan_cut_by_detach(life, epoch, method, response):
    return (method == "debug.timelineScan" and life.detaches > epoch and
            (response.get("result") or {}).get("budgetHit") is True)


async def method_looper(life, tally, stop, methods, index):
    socket, epoch = await connect(life, tally, True)
    serial = 0
    batch = [{"method": m, "params": METHOD_PARAMS.get(m, {})}
             for m in methods
             if m not in SHAPE_ONLY_METHODS.keys() | DUMP_METHODS | PER_TIMELINE_METHODS][:64]
    while not stop.is_set():
        for method in methods + ["(batch)"]:
            serial += 1
            request_id = "c%d-%d" % (index, serial)
            if method == "(batch)":
                message = {"op": "batch", "id": request_id, "requests": batch}
            else:
                message = {"op": "request", "id": request_id, "method": method,
                           "params": METHOD_PARAMS.get(method, {})}
            started = time.monotonic()
            try:
                await socket.send(json.dumps(message))
                response = json.loads(await socket.recv())
            except websockets.exceptions.ConnectionClosed as error:
                socket, epoch = await reconnect(life, tally, epoch, error, True)
                continue
            tally.latency(time.monotonic() - started)
            if scan_cut_by_detach(life, epoch, method, response):
                # The stop ends a scan early (its answer says the budget was hit); the stop's
                # close follows that answer.
                try:
                    extra = await socket.recv()
                    tally.fault("after a scan cut short by a detach: %r" % extra)
                except websockets.exceptions.ConnectionClosed as error:
                    socket, epoch = await reconnect(life, tally, epoch, error, True)
                continue
            if method == "(batch)":
                if response.get("op") != "batchResponse" or response.get("id") != request_id:
                    tally.fault("batch answered %r" % response)
                else:
                    tally.check("batch", without_volatile(response.get("results")))
            else:
                check_response(tally, method, response, request_id)
            await asyncio.sleep(PAUSE_BETWEEN_REQUESTS)
            if stop.is_set():
                break
    await socket.close()


def check_push(tally, message, protocol2, last_play):
    """Checks one pushed message; returns the play flag it reports, if any."""
    if protocol2:
        push = json.loads(message)
        if push.get("op") != "event" or push.get("topic") not in ("transport", "marker", "vitals") \
                or not isinstance(push.get("data"), dict):
            tally.fault("push %r" % message)
            return last_play
        data = push["data"]
        is_play = push["topic"] == "transport" and data.get("type") == "play"
    else:
        kind, _, payload = message.partition(":{")
        if kind not in ("vitals", "event:transport", "event:marker"):
            tally.fault("push %r" % message)
            return last_play
        data = json.loads("{" + payload)
        is_play = kind == "event:transport" and data.get("type") == "play"
    tally.count("pushes")
    if not is_play:
        return last_play
    # the soak turns play on and off in turn, and a topic's events keep their order
    if last_play is not None and data.get("on") == last_play:
        tally.fault("play event out of order: %r after on=%r" % (message, last_play))
    return data.get("on")


async def subscriber(life, tally, stop, protocol2, slow):
    topics = ("transport", "marker", "vitals")
    socket, epoch = await connect(life, tally, protocol2, topics, max_queue=1 if slow else 32)
    last_play = None
    nap_until = time.monotonic() + SLOW_READER_NAP if slow else 0
    while not stop.is_set():
        if slow and time.monotonic() < nap_until:
            await asyncio.sleep(0.5)
            continue
        try:
            message = await asyncio.wait_for(socket.recv(), 0.5 if slow else 2.0)
        except asyncio.TimeoutError:
            if slow:  # drained: nap again
                nap_until = time.monotonic() + SLOW_READER_NAP
            continue
        except websockets.exceptions.ConnectionClosed as error:
            closed_by_detach(life, epoch, tally, error)
            tally.count("reconnects")
            socket, epoch = await connect(life, tally, protocol2, topics,
                                          max_queue=1 if slow else 32)
            last_play = None
            continue
        last_play = check_push(tally, message, protocol2, last_play)
    await socket.close()


def write_settings(settings, turn):
    """Rewrites both files the engine reads on every handshake, each replaced at once."""
    folder = os.path.join(settings, "ZYL Engine")
    os.makedirs(folder, exist_ok=True)
    files = {
        "origins.txt": "# soak clients\nsoak.invalid\n" + ("other%d.invalid\n" % turn),
        "settings.json": json.dumps({"textProtocol": True} if turn % 2 else {}) + "\n",
    }
    for name, content in files.items():
        temporary = os.path.join(folder, name + ".new")
        with open(temporary, "w") as file:
            file.write(content)
        os.replace(temporary, os.path.join(folder, name))


def check_dump(tally, key, lines):
    """Checks a node dump part by part: head, each timeline, and a tally that fits them."""
    lines = [HANDLE_NUMBER.sub("id=#", line) for line in lines]
    head, parts, tail, current = [], {}, [], None
    for line in lines:
        heading = TIMELINE_HEADING.match(line)
        if heading:
            current = heading.group(1)
            parts[current] = []
        elif DUMP_TALLY.match(line) or line.endswith("DUMP END ==="):
            current = None
            tail.append(line)
        elif current is not None:
            parts[current].append(line)
        else:
            head.append(line)
    tally.check(key + " head", head)
    for timeline, part in parts.items():
        tally.check(key + " timeline " + timeline, part)
    counts = [DUMP_TALLY.match(line) for line in tail if DUMP_TALLY.match(line)]
    tally.check(key + " tally", len(counts) == 1 and
                all(int(n) == len(parts) for n in counts[0].groups()), True)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else None


async def drive(args, sim, tally, life, log):
    """Transport changes every 2 s, the minute record, detach/attach and settings rewrites."""
    started = time.monotonic()
    minute = 0
    play = False
    next_minute = started + 60
    while time.monotonic() - started < args.minutes * 60:
        await asyncio.sleep(2.0)
        play = not play
        await asyncio.to_thread(sim.run, "play " + ("on" if play else "off"))
        await asyncio.to_thread(sim.run, "timecode 00:00:%02d:00" % (int(time.monotonic()) % 60))
        if time.monotonic() < next_minute:
            continue
        minute += 1
        next_minute += 60
        if minute % 5 == 0:
            write_settings(args.settings, minute // 5)
        sample = sim.sample()  # all sixteen clients connected, before the detach
        latencies = tally.take_latencies()
        with tally.lock:
            row = dict(minute=minute, **sample, replies=len(latencies),
                       p50Ms=round(1000 * statistics.median(latencies), 3) if latencies else None,
                       p99Ms=round(1000 * percentile(latencies, 0.99), 3) if latencies else None,
                       checked=tally.replies_checked, wrong=len(tally.wrong), pushes=tally.pushes,
                       execs=sim.execs, reconnects=tally.reconnects,
                       cutByDetach=tally.cut_by_detach)
        print(json.dumps(row), file=log, flush=True)
        life.attached.clear()
        life.detaches += 1
        await asyncio.to_thread(sim.run, "detach")
        await asyncio.to_thread(sim.run, "attach")
        life.attached.set()


async def main_async(args, sim, tally, log):
    life = Lifecycle()
    stop = asyncio.Event()
    probe, _ = await connect(life, tally, True)
    await probe.send(json.dumps({"op": "request", "id": 0, "method": "protocol.describe"}))
    described = json.loads(await probe.recv())
    await probe.close()
    methods = sorted(m["name"] if isinstance(m, dict) else m
                     for m in described["result"]["methods"])
    print(json.dumps({"methods": methods, "textCommands": TEXT_COMMANDS}), file=log, flush=True)
    clients = []
    for index in range(8):
        # subscribers: four of each protocol; one slow reader of each
        clients.append(subscriber(life, tally, stop, index % 2 == 1, slow=index < 2))
    for index in range(8):
        clients.append(text_looper(life, tally, stop) if index % 2 == 0 else
                       method_looper(life, tally, stop, methods, index))
    tasks = [asyncio.create_task(c) for c in clients]
    await drive(args, sim, tally, life, log)
    stop.set()
    await asyncio.wait_for(asyncio.gather(*tasks), 60)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--hostsim", required=True)
    parser.add_argument("--settings", required=True)
    parser.add_argument("--minutes", type=float, default=60)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    write_settings(args.settings, 0)
    tally = Tally()
    sim = Simulator(args.hostsim, args.settings, tally)
    if sim.wait_for(lambda line: line.get("event") == "ready") is None:
        print("soak: the simulator did not start", file=sys.stderr)
        return 2
    with open(args.log, "a") as log:
        try:
            asyncio.run(main_async(args, sim, tally, log))
        finally:
            ledger, code = sim.quit()
        summary = {"ledger": ledger, "exitCode": code, "checked": tally.replies_checked,
                   "wrong": len(tally.wrong), "firstWrong": tally.wrong[:5],
                   "wrongByRequest": collections.Counter(
                       w.get("request", "fault") for w in tally.wrong),
                   "pushes": tally.pushes, "reconnects": tally.reconnects,
                   "cutByDetach": tally.cut_by_detach, "distinctRequests": len(tally.expected)}
        print(json.dumps(summary), file=log, flush=True)
    print(json.dumps({k: v for k, v in summary.items() if k != "firstWrong"}))
    good = not tally.wrong and code == 0 and ledger and ledger.get("balanced") is True
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
