"""Cancelling from pyodbc: cursor.cancel() on another thread stops a running
query with HY008 and the same connection runs the next query; a query
time-out (Connection.timeout) answers HYT00 and keeps the connection too.

The development server runs on a free loopback port for the module's tests;
the driver is registered in a private odbcinst.ini."""

import os
import shutil
import subprocess
import tempfile
import threading
import time
import unittest

import pyodbc

DRIVER = os.environ.get("KESTRION_DRIVER_PATH", "")
SERVER = os.environ.get("KESTRION_SERVER_PATH", "")

# Counts to twenty million: several seconds on any machine.
LONG_QUERY = ("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
              "WHERE x < 20000000) SELECT count(*) FROM c")

state = {}


def setUpModule():
    directory = tempfile.mkdtemp(prefix="kestrion-cancel-")
    state["directory"] = directory
    port_file = os.path.join(directory, "port")
    state["log"] = open(os.path.join(directory, "server.log"), "w")
    state["process"] = subprocess.Popen(
        [SERVER, "--listen", "127.0.0.1:0", "--port-file", port_file],
        stdout=state["log"], stderr=subprocess.STDOUT)
    deadline = time.monotonic() + 20
    port = 0
    while time.monotonic() < deadline and not port:
        if state["process"].poll() is not None:
            raise RuntimeError("the server stopped at start-up")
        try:
            with open(port_file) as f:
                port = int(f.read().strip() or 0)
        except (OSError, ValueError):
            pass
        time.sleep(0.05)
    if not port:
        tearDownModule()
        raise RuntimeError("the server did not start")
    state["port"] = port
    with open(os.path.join(directory, "odbcinst.ini"), "w") as f:
        f.write("[Kestrion]\nDriver=%s\nUsageCount=1\n" % DRIVER)
    os.environ["ODBCSYSINI"] = directory


def tearDownModule():
    process = state.get("process")
    if process is not None and process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    if "log" in state:
        state["log"].close()
    shutil.rmtree(state.get("directory", ""), ignore_errors=True)


def connect():
    return pyodbc.connect(
        "DRIVER={Kestrion};Server=127.0.0.1;Port=%d;UID=ann;PWD=x;LoginTimeout=5"
        % state["port"], autocommit=True)


class Cancel(unittest.TestCase):
    def test_cancel_from_another_thread_stops_the_query_and_the_connection_goes_on(self):
        connection = connect()
        cursor = connection.cursor()
        timer = threading.Timer(1.0, cursor.cancel)
        started = time.monotonic()
        timer.start()
        with self.assertRaises(pyodbc.Error) as raised:
            cursor.execute(LONG_QUERY)
        elapsed = time.monotonic() - started
        timer.join()
        print("\ncursor.cancel() after 1 s: %s after %.2f s" % (raised.exception.args[0], elapsed))
        self.assertEqual(raised.exception.args[0], "HY008", raised.exception.args)
        self.assertLess(elapsed, 2.5)
        self.assertEqual(cursor.execute("SELECT 42").fetchone()[0], 42)
        print("the same connection then answers:", connection.execute("SELECT 'next'").fetchone()[0])
        connection.close()

    def test_query_timeout_answers_hyt00_and_keeps_the_connection(self):
        connection = connect()
        connection.timeout = 1
        started = time.monotonic()
        with self.assertRaises(pyodbc.Error) as raised:
            connection.execute(LONG_QUERY)
        elapsed = time.monotonic() - started
        self.assertEqual(raised.exception.args[0], "HYT00", raised.exception.args)
        self.assertGreaterEqual(elapsed, 0.9)
        self.assertLess(elapsed, 3.0)
        connection.timeout = 0
        self.assertEqual(connection.execute("SELECT 7").fetchone()[0], 7)
        connection.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
