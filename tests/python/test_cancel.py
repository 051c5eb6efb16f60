"""Cancelling from pyodbc: cursor.cancel() on another thread stops a running
query with HY008 and the same connection runs the next query; a query
time-out (Connection.timeout) answers HYT00 and keeps the connection too.

Uses the server and the private driver registration of the everyday tests."""

import threading
import time
import unittest

import pyodbc

import test_pyodbc_everyday as everyday
from test_pyodbc_everyday import setUpModule, tearDownModule  # noqa: F401

# Counts to twenty million: several seconds on any machine.
LONG_QUERY = ("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
              "WHERE x < 20000000) SELECT count(*) FROM c")


def connect():
    return everyday.connect(autocommit=True)


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
