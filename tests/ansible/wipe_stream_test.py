#!/usr/bin/python3
"""The zeza_dera_wipe action plugin: how it reads the wipe command's JSON
stream, and how it starts and follows the command on a host (here the local
machine, through a stand-in for the command)."""
import importlib.util
import os
import pathlib
import subprocess
import sys
import tempfile
import types
import unittest

sys.dont_write_bytecode = True  # nothing of the test lands in the source tree

PLUGIN = pathlib.Path(__file__).resolve().parents[2] / "deploy/ansible/roles/zeza_dera/action_plugins/zeza_dera_wipe.py"
spec = importlib.util.spec_from_file_location("zeza_dera_wipe", PLUGIN)
plugin = importlib.util.module_from_spec(spec)
spec.loader.exec_module(plugin)

# A run of two targets, one of which fails verification, as the command
# writes it, with a stray text line, an unknown event and field, and an
# event whose numbers do not read.
STREAM = """\
{"event":"start","time":"2025-03-01T10:00:00+01:00","version":"0.1.0","method":{"id":1,"name":"Zero Wipe","passes":1},"verify":"samples","targets":[{"target":"/dev/sdb","typed":"/dev/disk/by-id/ata-X","identity":{},"mountPoints":[]},{"target":"/dev/sdc","typed":"/dev/sdc","identity":{},"mountPoints":[]}]}
{"event":"pass-start","target":"/dev/sdb","pass":1,"passes":1,"pattern":"00"}
{"event":"pass-start","target":"/dev/sdc","pass":1,"passes":1,"pattern":"00"}
{"event":"progress","target":"/dev/sdb","phase":"pass","pass":1,"passes":1,"bytesDone":100,"bytesTotal":1000,"bytesPerSecond":100000000,"secondsLeft":9,"newField":true}
{"event":"progress","target":"/dev/sdc","phase":"pass","pass":1,"passes":1,"bytesDone":250,"bytesTotal":1000,"bytesPerSecond":2500000,"secondsLeft":null}
warning: a line of plain text
{"event":"progress","target":"/dev/sdb","phase":"pass","pass":1,"passes":1,"bytesDone":500,"bytesTotal":1000,"bytesPerSecond":123456789,"secondsLeft":3725}
{"event":"progress","target":"/dev/sdc","phase":"pass","pass":1,"passes":1,"bytesDone":"many","bytesTotal":1000}
{"event":"heartbeat","time":"2025-03-01T10:00:01+01:00"}
{"event":"pass-end","target":"/dev/sdb","pass":1,"passes":1,"result":"completed","sectorsWritten":2}
{"event":"verify","target":"/dev/sdb","mode":"samples","checked":5,"mismatches":1,"unreadable":0}
{"event":"outcome","target":"/dev/sdb","outcome":"Erased, verification failed","message":"Operation completed.","cause":null,"exitCode":3}
{"event":"log","target":"/dev/sdb","log":"/var/log/zeza-dera/Drive__Disque \u00e9.log","record":"/var/log/zeza-dera/Drive__Disque \u00e9.json","certificate":null,"logComplete":true}
{"event":"pass-end","target":"/dev/sdc","pass":1,"passes":1,"result":"completed","sectorsWritten":2}
{"event":"outcome","target":"/dev/sdc","outcome":"Erased","message":"Operation completed.","cause":null,"exitCode":0}
{"event":"log","target":"/dev/sdc","log":"/var/log/zeza-dera/Drive__sdc.log","record":"/var/log/zeza-dera/Drive__sdc.json","certificate":"/var/log/zeza-dera/Drive__sdc.pdf","logComplete":true}
{"event":"summary","time":"2025-03-01T10:00:02+01:00","exitCode":3,"targets":[],"refused":[]}
""".replace("\\u00e9", "é").encode()

REFUSED = (
    b'{"event":"summary","time":"2025-03-01T10:00:00+01:00","exitCode":2,"targets":[],'
    b'"refused":[{"typed":"/dev/sda","target":"/dev/sda","reason":"it holds the running system"}]}'
)


class WipeStreamTest(unittest.TestCase):
    def test_reads_the_events_however_the_stream_is_cut(self):
        for cut in range(1, len(STREAM)):  # also inside a line and inside a character
            stream = plugin.WipeStream("web1")
            stream.feed(STREAM[:cut])
            stream.feed(STREAM[cut:])
            stream.finish()
            self.assertTrue(stream.started)
            self.assertEqual([o["outcome"] for o in stream.outcomes], ["Erased, verification failed", "Erased"])
            self.assertEqual(stream.summary["exitCode"], 3)
            self.assertEqual(
                stream.files,
                [
                    "/var/log/zeza-dera/Drive__Disque é.log",
                    "/var/log/zeza-dera/Drive__Disque é.json",
                    "/var/log/zeza-dera/Drive__sdc.log",
                    "/var/log/zeza-dera/Drive__sdc.json",
                    "/var/log/zeza-dera/Drive__sdc.pdf",
                ],
            )

    def test_shows_each_targets_latest_progress_once_per_piece_and_the_rest_as_it_comes(self):
        head, tail = STREAM.split(b"warning")
        stream = plugin.WipeStream("web1")
        shown = stream.feed(head)
        self.assertEqual(
            shown,
            [
                "[web1] zeza-dera-cli 0.1.0: wiping /dev/sdb, /dev/sdc with Zero Wipe (1 pass), verification samples",
                "[web1] /dev/sdb  pass 1/1 started, pattern 00",
                "[web1] /dev/sdc  pass 1/1 started, pattern 00",
                "[web1] /dev/sdb  pass 1/1   10.0 %    100.0 MB/s  0:00:09 left",
                "[web1] /dev/sdc  pass 1/1   25.0 %      2.5 MB/s  time left unknown",
            ],
        )
        shown = stream.feed(b"warning" + tail)
        self.assertIn("[web1] warning: a line of plain text", shown)
        self.assertIn('[web1] {"event":"progress","target":"/dev/sdc","phase":"pass","pass":1,"passes":1,'
                      '"bytesDone":"many","bytesTotal":1000}', shown)
        # Progress a pass end has overtaken is not shown.
        self.assertFalse([line for line in shown if "%" in line and "/dev/sdb" in line])
        self.assertIn("[web1] /dev/sdb  pass 1/1 completed, 2 sectors written", shown)
        self.assertIn("[web1] /dev/sdb  verification (samples): 5 checked, 1 mismatches, 0 unreadable", shown)
        self.assertIn("[web1] /dev/sdb  Erased, verification failed", shown)
        self.assertEqual(shown[-1], "[web1] wipe command ended with exit code 3")
        self.assertFalse([line for line in shown if "heartbeat" in line])

    def test_a_refused_command_wrote_nothing_and_says_why(self):
        stream = plugin.WipeStream("web1")
        self.assertEqual(stream.feed(REFUSED), [])  # no line end yet
        self.assertEqual(
            stream.finish(),
            ["[web1] refused /dev/sda: it holds the running system", "[web1] wipe command ended with exit code 2"],
        )
        self.assertFalse(stream.started)
        self.assertEqual(stream.files, [])


class Recorder:
    def __init__(self):
        self.lines = []

    def display(self, line):
        self.lines.append(line)

    def warning(self, line):
        self.lines.append(line)


class FollowTest(unittest.TestCase):
    """The plugin against the local machine as its host, with a stand-in for
    zeza-dera-cli that writes half the stream, up to the middle of a line,
    and the rest only once the plugin has read the first half."""

    def setUp(self):
        self.work = pathlib.Path(tempfile.mkdtemp())
        self.addCleanup(subprocess.run, ["rm", "-rf", str(self.work)])
        half = STREAM.index(b"warning") + 4
        (self.work / "first").write_bytes(STREAM[:half])
        (self.work / "second").write_bytes(STREAM[half:])
        self.cli = self.work / "zeza-dera-cli"
        self.cli.write_text(
            "#!/bin/sh\n"
            f'cd {self.work} && printf "%s\\n" "$@" >argv && cat first\n'
            "for i in $(seq 600); do [ -f go ] && break; sleep 0.05; done\n"
            "cat second; exit 3\n"
        )
        self.cli.chmod(0o755)
        self.display = Recorder()
        plugin.display = self.display
        self.bytes_read = 0

    def run_plugin(self, args):
        task = types.SimpleNamespace(args=args, async_val=0, check_mode=False, action="zeza_dera_wipe")
        connection = types.SimpleNamespace(_shell=types.SimpleNamespace(tmpdir=None))
        action = plugin.ActionModule(task, connection, None, None, None, None)
        action._load_name = "zeza_dera_wipe"
        action._low_level_execute_command = self.execute
        return action.run(task_vars={"inventory_hostname": "web1"})

    def execute(self, command, sudoable=True):
        done = subprocess.run(["sh", "-c", command], capture_output=True)
        if "tail -c +" in command:
            data = done.stdout.partition(b"\n")[2]
            self.bytes_read += len(data)
            if data:
                (self.work / "go").touch()
        return dict(rc=done.returncode, stdout=os.fsdecode(done.stdout), stderr=os.fsdecode(done.stderr))

    def test_follows_the_detached_command_to_its_end(self):
        result = self.run_plugin(
            dict(cli=str(self.cli), targets=["/dev/sdb", "/dev/sdc"], method=1, verify="samples",
                 log_dir="/var/log/zeza-dera", poll_interval=0.05)
        )
        self.assertEqual(
            (self.work / "argv").read_text().split("\n")[:-1],
            ["wipe", "/dev/sdb", "/dev/sdc", "--method", "1", "--yes", "--progress", "json",
             "--log-dir", "/var/log/zeza-dera", "--verify", "samples"],
        )
        self.assertEqual(self.bytes_read, len(STREAM))  # each byte read once
        self.assertEqual(result["rc"], 3)
        self.assertTrue(result["failed"] and result["changed"])
        self.assertEqual(len(result["outcomes"]), 2)
        self.assertEqual(result["summary"]["exitCode"], 3)
        self.assertIn("[web1] warning: a line of plain text", self.display.lines)
        self.assertIn("[web1] /dev/sdc  Erased", self.display.lines)

    def test_a_command_that_cannot_start_fails_with_its_word(self):
        result = self.run_plugin(dict(cli=str(self.work / "missing"), targets=["/dev/sdb"], method="Zero Wipe",
                                      log_dir="/tmp", poll_interval=0.05))
        self.assertEqual(result["rc"], 127)
        self.assertTrue(result["failed"])
        self.assertFalse(result["changed"])
        self.assertIn("not found", result["msg"])


if __name__ == "__main__":
    unittest.main()
