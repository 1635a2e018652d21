# Runs `zeza-dera-cli wipe TARGET... --progress json` on a host and shows its
# progress in the Ansible output while it runs.
#
# Ansible shows a module's output only once the module has returned, and a
# wipe takes hours, so this is an action plugin: on the controller it starts
# the command detached on the host (a dropped connection or an interrupted
# play leaves the wipe running), then polls the host every few seconds for
# the bytes the command has added to its JSON stream since the last poll.
from __future__ import annotations

import json
import shlex
import time

from ansible.errors import AnsibleAction, AnsibleActionFail, AnsibleConnectionFailure
from ansible.module_utils.common.text.converters import to_bytes
from ansible.plugins.action import ActionBase
from ansible.utils.display import Display

display = Display()

# The most one poll reads; the rest of a long backlog comes with the next.
CHUNK_BYTES = 1 << 20

ARGUMENT_SPEC = dict(
    cli=dict(type="str", required=True),
    targets=dict(type="list", elements="str", required=True),
    method=dict(type="raw", required=True),  # an id or a name
    custom=dict(type="str"),
    verify=dict(type="str", choices=["samples", "full"]),
    operator=dict(type="str"),
    log_dir=dict(type="str", required=True),
    poll_interval=dict(type="float", default=3.0),
    reconnect_timeout=dict(type="float", default=600.0),
)


def clock(seconds):
    seconds = int(seconds)
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


class WipeStream:
    """The wipe command's standard output, fed as it arrives: the lines to
    show, and the events the play needs once the command has ended. A line
    that is not a JSON object, or an event whose fields do not read, is shown
    as it is; unknown events and fields are ignored."""

    def __init__(self, host):
        self.host = host
        self.started = False  # a start event came: something may have been written
        self.outcomes = []
        self.logs = []
        self.summary = None
        self._partial = b""
        self._progress = {}  # target -> its latest progress line not shown yet

    @property
    def files(self):
        """The run logs, records and certificates the log events name."""
        return [e[key] for e in self.logs for key in ("log", "record", "certificate") if isinstance(e.get(key), str)]

    def feed(self, data):
        """Takes the next bytes of the stream and returns the lines to show
        for them. Progress is shown once per target and piece, at its latest."""
        lines = (self._partial + data).split(b"\n")
        self._partial = lines.pop()
        shown = [shown for line in lines for shown in self._read(line.decode("utf-8", "replace"))]
        shown += [self._line(text) for text in self._progress.values()]
        self._progress.clear()
        return shown

    def finish(self):
        """The command has ended: a last line without a line end counts too."""
        return self.feed(b"\n") if self._partial else []

    def _line(self, text):
        return f"[{self.host}] {text}"

    def _read(self, line):
        line = line.rstrip("\r")
        if not line.strip():
            return []
        try:
            event = json.loads(line)
            if not isinstance(event, dict):
                raise ValueError("not an event")
            reader = self._READERS.get(event.get("event"))
            texts = reader(self, event) if reader else []
        except (ValueError, TypeError, KeyError, AttributeError, ZeroDivisionError):
            texts = [line]
        return [self._line(text) for text in texts]

    def _start(self, e):
        self.started = True
        method = e.get("method") or {}
        targets = ", ".join(t["target"] for t in e.get("targets", []))
        passes = method.get("passes", "?")
        verify = f", verification {e['verify']}" if e.get("verify") else ""
        return [
            f"zeza-dera-cli {e.get('version', '')}: wiping {targets} with {method.get('name', '?')} "
            f"({passes} pass{'' if passes == 1 else 'es'}){verify}"
        ]

    def _pass_start(self, e):
        self._progress.pop(e["target"], None)
        pattern = f", pattern {e['pattern']}" if e.get("pattern") else ""
        return [f"{e['target']}  pass {e['pass']}/{e['passes']} started{pattern}"]

    def _progress_event(self, e):
        done, total = e["bytesDone"], e["bytesTotal"]
        stage = "verify" if e.get("phase") == "verify" else f"pass {e['pass']}/{e['passes']}"
        percent = 100.0 * done / total if total else 100.0
        rate = (e.get("bytesPerSecond") or 0) / 1e6
        left = e.get("secondsLeft")
        left = f"{clock(left)} left" if left is not None else "time left unknown"
        self._progress[e["target"]] = f"{e['target']}  {stage}  {percent:5.1f} %  {rate:7.1f} MB/s  {left}"
        return []

    def _pass_end(self, e):
        self._progress.pop(e["target"], None)
        return [
            f"{e['target']}  pass {e['pass']}/{e['passes']} {e['result']}, {e.get('sectorsWritten', '?')} sectors written"
        ]

    def _verify(self, e):
        self._progress.pop(e["target"], None)
        return [
            f"{e['target']}  verification ({e.get('mode', '?')}): {e.get('checked', '?')} checked, "
            f"{e.get('mismatches', '?')} mismatches, {e.get('unreadable', '?')} unreadable"
        ]

    def _outcome(self, e):
        self._progress.pop(e["target"], None)
        self.outcomes.append(e)
        return [f"{e['target']}  {e['outcome']}"]

    def _log(self, e):
        self.logs.append(e)
        files = [e[key] for key in ("log", "record", "certificate") if e.get(key)]
        complete = "" if e.get("logComplete", True) else " (run log incomplete)"
        return [f"{e['target']}  {', '.join(files)}{complete}"]

    def _summary(self, e):
        self.summary = e
        texts = list(self._progress.values())  # the last word comes last
        self._progress.clear()
        texts += [f"refused {r.get('typed')}: {r.get('reason')}" for r in e.get("refused") or []]
        return texts + [f"wipe command ended with exit code {e['exitCode']}"]

    _READERS = {
        "start": _start,
        "pass-start": _pass_start,
        "progress": _progress_event,
        "pass-end": _pass_end,
        "verify": _verify,
        "outcome": _outcome,
        "log": _log,
        "summary": _summary,
    }


class ActionModule(ActionBase):
    TRANSFERS_FILES = False

    def run(self, tmp=None, task_vars=None):
        self._supports_check_mode = False  # a wipe cannot be tried out
        try:
            result = super().run(tmp, task_vars)
            _, args = self.validate_argument_spec(ARGUMENT_SPEC)
            result.update(self._wipe(args, (task_vars or {}).get("inventory_hostname", "host")))
        except AnsibleAction as e:
            result = e.result
        return result

    def _wipe(self, args, host):
        command = [args["cli"], "wipe", *args["targets"], "--method", str(args["method"]), "--yes"]
        command += ["--progress", "json", "--log-dir", args["log_dir"]]
        for option in ("custom", "verify", "operator"):
            if args[option] is not None:
                command += [f"--{option}", args[option]]
        job = self._start(command)
        stream = WipeStream(host)
        rc = self._follow(job, stream, args["poll_interval"], args["reconnect_timeout"])
        stderr = self._shell(f"tail -c 4096 {job}/stderr; rm -rf -- {job}")["stdout"]
        result = dict(
            changed=stream.started,
            rc=rc,
            cmd=command,
            outcomes=stream.outcomes,
            logs=stream.logs,
            summary=stream.summary,
            files=stream.files,
            stderr=stderr,
        )
        if rc != 0:
            # Why, as the command said it: its refusals, else its last words.
            refused = (stream.summary or {}).get("refused") or []
            reasons = "; ".join(f"{r.get('typed')}: {r.get('reason')}" for r in refused)
            reasons = reasons or " ".join(stderr.strip().splitlines()[-3:])
            result.update(failed=True, msg=f"the wipe command ended with exit code {rc}" + (f": {reasons}" if reasons else ""))
        return result

    def _shell(self, command):
        result = self._low_level_execute_command(command, sudoable=True)
        if result["rc"] != 0:
            raise AnsibleActionFail(f"command on the host failed: {command}: {result['stderr'].strip()}")
        return result

    def _start(self, command):
        """Starts the command in a session of its own, writing its stream,
        its standard error and, once it has ended, its exit code into a
        fresh folder on the host, whose name it returns."""
        runner = '{ echo $$ >"$0/pid"; "$@" >"$0/stream" 2>"$0/stderr"; echo $? >"$0/rc.part"; mv "$0/rc.part" "$0/rc"; }'
        script = (
            'job=$(mktemp -d /var/tmp/zeza-dera-wipe.XXXXXX) || exit 1; : >"$job/stream" && cd / || exit 1; '
            f'setsid sh -c {shlex.quote(runner)} "$job" {shlex.join(command)} </dev/null >/dev/null 2>&1 & '

            'echo "$job"'
        )
        job = self._shell(script)["stdout"].strip()
        if not job.startswith("/var/tmp/zeza-dera-wipe."):
            raise AnsibleActionFail(f"the wipe command did not start: {job}")
        return shlex.quote(job)

    def _poll(self, job, offset):
        """The command's state ("running", "ended", or "vanished" when its
        process is gone without an exit code), its exit code, and up to
        CHUNK_BYTES of its stream from the byte offset on."""
        script = (
            f"cd {job} || exit 1; "
            'if [ -f rc ]; then state="ended $(cat rc)"; '
            'elif [ ! -s pid ] || kill -0 "$(cat pid)" 2>/dev/null; then state=running; else state=vanished; fi; '
            f"size=$(wc -c <stream); n=$((size - {offset})); [ $n -gt {CHUNK_BYTES} ] && n={CHUNK_BYTES}; "
            'echo "$n $state"; '
            f"tail -c +{offset + 1} stream | head -c $n"
        )
        out = to_bytes(self._shell(script)["stdout"], errors="surrogate_or_strict")  # the bytes as sent
        header, _, data = out.partition(b"\n")
        count, state, *code = header.decode("ascii").split()
        return state, int(code[0]) if code else None, int(count), data

    def _follow(self, job, stream, interval, reconnect_timeout):
        """Shows the stream until the command has ended; returns its exit code."""
        offset = 0
        reached = time.monotonic()
        while True:
            try:
                state, rc, count, data = self._poll(job, offset)
                reached = time.monotonic()
            except AnsibleConnectionFailure as e:
                if time.monotonic() - reached > reconnect_timeout:
                    raise AnsibleActionFail(
                        f"lost the host while wiping ({e}); the wipe goes on there, its stream is in {job}"
                    )
                display.warning(f"[{stream.host}] cannot reach the host, trying again: {e}")
                time.sleep(interval)
                continue
            offset += count
            for line in stream.feed(data):
                display.display(line)
            if count == CHUNK_BYTES:
                continue
            if state == "ended":
                for line in stream.finish():
                    display.display(line)
                return rc
            if state == "vanished":
                raise AnsibleActionFail(f"the wipe command on the host ended without an exit code; see {job}")
            time.sleep(interval)
