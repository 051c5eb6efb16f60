"""What applications do every day with pyodbc through the Driver Manager:
connect by DSN and by connection string, execute with parameters of every
Python type, fetchone/fetchmany/fetchall, executemany, cursor.description,
rowcount, autocommit on and off with commit and rollback, context managers,
and server errors raised as pyodbc.Error with the server's message.

The driver is registered in a private odbcinst.ini; the development server
runs with its sample data on a free loopback port for the module's tests."""

import datetime
import decimal
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import uuid

import pyodbc

DRIVER = os.environ.get("KESTRION_DRIVER_PATH", "")
SERVER = os.environ.get("KESTRION_SERVER_PATH", "")

state = {}


def setUpModule():
    directory = tempfile.mkdtemp(prefix="kestrion-pyodbc-")
    state["directory"] = directory
    port_file = os.path.join(directory, "port")
    state["log"] = open(os.path.join(directory, "server.log"), "w")
    process = subprocess.Popen(
        [SERVER, "--listen", "127.0.0.1:0", "--port-file", port_file, "--sample",
         "--user", "ann:s3cret"],
        stdout=state["log"], stderr=subprocess.STDOUT)
    state["process"] = process
    deadline = time.monotonic() + 20
    port = 0
    while time.monotonic() < deadline and not port:
        if process.poll() is not None:
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
    with open(os.path.join(directory, "odbc.ini"), "w") as f:
        f.write("[KestrionTest]\nDriver=Kestrion\nServer=127.0.0.1\nPort=%d\n"
                "UID=ann\nPWD=s3cret\nLoginTimeout=5\n" % port)
    os.environ["ODBCSYSINI"] = directory
    os.environ["ODBCINI"] = os.path.join(directory, "odbc.ini")


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


def connect(**kwargs):
    return pyodbc.connect(
        "DRIVER={Kestrion};Server=127.0.0.1;Port=%d;UID=ann;PWD=s3cret;LoginTimeout=5"
        % state["port"], **kwargs)


class Connecting(unittest.TestCase):
    def test_dsn_and_dsn_less_reach_the_same_server(self):
        for conn in (pyodbc.connect("DSN=KestrionTest", autocommit=True), connect(autocommit=True)):
            with conn:
                row = conn.execute("SELECT COUNT(*) FROM customers").fetchone()
                self.assertGreater(row[0], 0)

    def test_wrong_password_is_refused_with_a_message(self):
        with self.assertRaises(pyodbc.Error) as caught:
            pyodbc.connect("DSN=KestrionTest;PWD=wrong")
        self.assertTrue(str(caught.exception))

    def test_context_managers_close_cursor_and_commit(self):
        with connect() as conn:
            with conn.cursor() as cur:
                cur.execute("CREATE TABLE ctx_t (id INTEGER)")
                cur.execute("INSERT INTO ctx_t VALUES (1)")
            # Leaving the connection's block commits.
        with connect(autocommit=True) as conn:
            self.assertEqual(conn.execute("SELECT COUNT(*) FROM ctx_t").fetchval(), 1)


class Values(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.conn = connect(autocommit=True)
        cls.conn.execute(
            "CREATE TABLE py_values (n INTEGER, i INTEGER, g BIGINT, f DOUBLE, d DECIMAL(12,3),"
            " s VARCHAR(100), t TEXT, b BLOB, bo BOOLEAN, dt DATE, ts TIMESTAMP, tm TIME)")

    @classmethod
    def tearDownClass(cls):
        cls.conn.close()

    def round_trip(self, n, values):
        cur = self.conn.cursor()
        cur.execute("INSERT INTO py_values VALUES (?,?,?,?,?,?,?,?,?,?,?,?)", n, *values)
        self.assertEqual(cur.rowcount, 1)
        return cur.execute("SELECT i, g, f, d, s, t, b, bo, dt, ts, tm FROM py_values WHERE n = ?",
                           n).fetchone()

    def test_every_python_type(self):
        values = (-2147483648, 2**62 + 5, -1.25e-300, decimal.Decimal("123456789.125"),
                  "gr\u00fc\u00df \U0001F600 \u4e2d", "x" * 5000, b"\x00\xff\x10" * 1000, True,
                  datetime.date(1999, 12, 31), datetime.datetime(2024, 2, 29, 23, 59, 58),
                  datetime.time(13, 14, 15))
        row = self.round_trip(1, values)
        self.assertEqual(row.i, values[0])
        self.assertEqual(row.g, values[1])
        self.assertEqual(row.f, values[2])
        self.assertEqual(decimal.Decimal(str(row.d)), values[3])
        self.assertEqual(row.s, values[4])
        self.assertEqual(row.t, values[5])
        self.assertEqual(row.b, values[6])
        self.assertIs(row.bo, True)
        # DATE and TIMESTAMP are one kind, read as a timestamp: the date
        # comes back at midnight, the timestamp with its time of day.
        self.assertEqual(row.dt, datetime.datetime.combine(values[8], datetime.time()))
        self.assertEqual(row.ts, values[9])
        self.assertEqual(row.tm, values[10])
        hour = self.conn.execute("SELECT strftime('%H:%M:%S', ts) FROM py_values WHERE n = 1").fetchval()
        self.assertEqual(hour, "23:59:58")

    def test_none_empty_and_false(self):
        row = self.round_trip(2, (None, None, None, None, "", "", b"", False, None, None, None))
        self.assertIsNone(row.i)
        self.assertIsNone(row.g)
        self.assertIsNone(row.f)
        self.assertIsNone(row.d)
        self.assertEqual(row.s, "")
        self.assertEqual(row.t, "")
        self.assertEqual(row.b, b"")
        self.assertIs(row.bo, False)
        self.assertIsNone(row.dt)
        self.assertIsNone(row.ts)
        self.assertIsNone(row.tm)
        nulls = self.conn.execute(
            "SELECT s IS NULL, b IS NULL, i IS NULL FROM py_values WHERE n = 2").fetchone()
        self.assertEqual(list(nulls), [False, False, True])

    def test_large_values_and_parameters_in_where(self):
        big = "\u00e9" * 300000 + "\U0001F680"
        self.round_trip(3, (0, 0, 0.0, decimal.Decimal(0), "", big, os.urandom(1), False,
                            None, None, None))
        got = self.conn.execute("SELECT t FROM py_values WHERE n = ? AND t = ?", 3, big).fetchval()
        self.assertEqual(got, big)

    def test_select_of_parameters_typed_by_python(self):
        cur = self.conn.cursor()
        u = uuid.UUID("12345678-1234-5678-1234-567812345678")
        row = cur.execute("SELECT ?, ?, ?, ?", 7, "seven", 7.5, u.bytes).fetchone()
        self.assertEqual(int(row[0]), 7)
        self.assertEqual(row[1], "seven")
        self.assertEqual(float(row[2]), 7.5)


class Timestamps(unittest.TestCase):
    def test_datetime_and_timestamp_keep_milliseconds(self):
        with connect(autocommit=True) as conn:
            conn.execute("CREATE TABLE py_stamps (n INTEGER, dt DATETIME, ts TIMESTAMP)")
            when = datetime.datetime(2007, 1, 15, 3, 4, 5, 678000)
            conn.execute("INSERT INTO py_stamps VALUES (1, ?, ?)", when, when)
            # Microseconds beyond the millisecond are not kept.
            conn.execute("INSERT INTO py_stamps VALUES (2, ?, ?)",
                         when.replace(microsecond=678999), None)
            cur = conn.execute("SELECT dt, ts FROM py_stamps ORDER BY n")
            self.assertIs(cur.description[0][1], datetime.datetime)
            self.assertEqual(cur.description[0][4:6], (23, 3))
            self.assertEqual([tuple(r) for r in cur.fetchall()],
                             [(when, when), (when, None)])
            found = conn.execute("SELECT n FROM py_stamps WHERE ts = ?", when).fetchval()
            self.assertEqual(found, 1)


class Cursors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.conn = connect(autocommit=True)

    @classmethod
    def tearDownClass(cls):
        cls.conn.close()

    def test_fetchone_fetchmany_fetchall_and_description(self):
        cur = self.conn.cursor()
        cur.execute("SELECT id, name, email, vip, created FROM customers ORDER BY id LIMIT 25")
        names = [d[0] for d in cur.description]
        self.assertEqual(names, ["id", "name", "email", "vip", "created"])
        self.assertIs(cur.description[0][1], int)
        self.assertIs(cur.description[1][1], str)
        self.assertIs(cur.description[3][1], bool)
        first = cur.fetchone()
        self.assertEqual(first.id, 1)
        many = cur.fetchmany(10)
        self.assertEqual([r.id for r in many], list(range(2, 12)))
        rest = cur.fetchall()
        self.assertEqual([r.id for r in rest], list(range(12, 26)))
        self.assertIsNone(cur.fetchone())

    def test_iteration_over_many_pages(self):
        cur = self.conn.cursor()
        ids = [row[0] for row in cur.execute("SELECT order_id FROM order_lines ORDER BY order_id, line")]
        total = self.conn.execute("SELECT COUNT(*) FROM order_lines").fetchval()
        self.assertEqual(len(ids), total)
        self.assertGreater(total, 300)

    def test_executemany_and_rowcount(self):
        cur = self.conn.cursor()
        cur.execute("CREATE TABLE many_t (id INTEGER, name VARCHAR(20), price DOUBLE)")
        rows = [(i, "name %d" % i, i * 1.5) for i in range(200)]
        cur.executemany("INSERT INTO many_t VALUES (?, ?, ?)", rows)
        self.assertEqual(cur.execute("SELECT COUNT(*), SUM(price) FROM many_t").fetchone()[0], 200)
        cur.execute("UPDATE many_t SET name = 'x' WHERE id < 50")
        self.assertEqual(cur.rowcount, 50)
        cur.execute("DELETE FROM many_t WHERE id >= 190")
        self.assertEqual(cur.rowcount, 10)
        self.assertEqual(tuple(cur.execute("SELECT * FROM many_t WHERE id = ?", 10).fetchone()),
                         (10, "x", 15.0))

    def test_fast_executemany_inserts_every_row(self):
        cur = self.conn.cursor()
        cur.execute("CREATE TABLE fast_t (id INTEGER, name VARCHAR(20))")
        cur.fast_executemany = True
        cur.executemany("INSERT INTO fast_t VALUES (?, ?)", [(i, "n%d" % i) for i in range(20)])
        self.assertEqual(cur.execute("SELECT COUNT(*) FROM fast_t").fetchval(), 20)

    def test_server_error_is_a_pyodbc_error_with_the_servers_message(self):
        cur = self.conn.cursor()
        with self.assertRaises(pyodbc.Error) as caught:
            cur.execute("SELECT no_such_column FROM customers")
        self.assertIn("no_such_column", str(caught.exception))
        # The connection goes on working.
        self.assertEqual(cur.execute("SELECT 1").fetchval(), 1)

    def test_nextset_walks_a_batch(self):
        cur = self.conn.cursor()
        cur.execute("CREATE TABLE batch_t (id INTEGER)")
        cur.execute("SELECT 1; INSERT INTO batch_t VALUES (1), (2); SELECT COUNT(*) FROM batch_t")
        self.assertEqual(cur.fetchall()[0][0], 1)
        self.assertTrue(cur.nextset())
        self.assertEqual(cur.rowcount, 2)
        self.assertTrue(cur.nextset())
        self.assertEqual(cur.fetchone()[0], 2)
        self.assertFalse(cur.nextset())


class Transactions(unittest.TestCase):
    def test_rollback_undoes_and_commit_keeps(self):
        with connect(autocommit=True) as setup:
            setup.execute("CREATE TABLE tx_t (id INTEGER)")
        conn = connect(autocommit=False)
        watcher = connect(autocommit=True)
        try:
            conn.execute("INSERT INTO tx_t VALUES (1)")
            conn.rollback()
            self.assertEqual(watcher.execute("SELECT COUNT(*) FROM tx_t").fetchval(), 0)
            conn.execute("INSERT INTO tx_t VALUES (2)")
            conn.commit()
            self.assertEqual(watcher.execute("SELECT COUNT(*) FROM tx_t").fetchval(), 1)
            conn.execute("INSERT INTO tx_t VALUES (3)")
            conn.autocommit = True  # commits the open transaction
            self.assertEqual(watcher.execute("SELECT COUNT(*) FROM tx_t").fetchval(), 2)
            conn.execute("INSERT INTO tx_t VALUES (4)")
            conn.rollback()  # nothing to undo with autocommit on
            self.assertEqual(watcher.execute("SELECT COUNT(*) FROM tx_t").fetchval(), 3)
        finally:
            conn.close()
            watcher.close()

    def test_closing_without_commit_discards(self):
        with connect(autocommit=True) as setup:
            setup.execute("CREATE TABLE tx_close (id INTEGER)")
        conn = connect(autocommit=False)
        conn.execute("INSERT INTO tx_close VALUES (1)")
        conn.close()
        with connect(autocommit=True) as watcher:
            self.assertEqual(watcher.execute("SELECT COUNT(*) FROM tx_close").fetchval(), 0)



class Fidelity(unittest.TestCase):
    """What real clients must not lose: every row of a fast executemany,
    errors raised with their class, commits after a caught error."""

    def test_fast_executemany_of_ten_thousand_rows_of_every_kind(self):
        with connect(autocommit=False) as conn:
            cur = conn.cursor()
            cur.execute("CREATE TABLE fast_kinds (id INTEGER, g BIGINT, f DOUBLE, d DECIMAL(12,3),"
                        " s VARCHAR(40), b BLOB, bo BOOLEAN, dt DATE, tm TIME)")
            # DECIMAL columns hold doubles; pyodbc binds a Decimal by the
            # parameter's description, which must leave room for its fraction.
            rows = [(i, i * 1000003, i / 8.0, decimal.Decimal(i) + decimal.Decimal("0.125"), "row %d" % i,
                     bytes([i % 256]) * 3, i % 2 == 0, datetime.date(2000 + i % 20, 1 + i % 12, 1),
                     datetime.time(i % 24, i % 60, 0))
                    for i in range(10000)]
            rows[7] = (7,) + (None,) * 8
            cur.fast_executemany = True
            cur.executemany("INSERT INTO fast_kinds VALUES (?,?,?,?,?,?,?,?,?)", rows)
            conn.commit()
            self.assertEqual(cur.execute("SELECT COUNT(*) FROM fast_kinds").fetchval(), 10000)
            stored = cur.execute("SELECT * FROM fast_kinds WHERE id = 9999").fetchone()
            self.assertEqual(tuple(stored[:3]), rows[9999][:3])
            self.assertEqual(stored.d, 9999.125)
            self.assertEqual(stored.s, "row 9999")
            self.assertEqual(stored.b, rows[9999][5])
            # A DATE column holds the server's time kind: read as a timestamp.
            self.assertEqual(stored.dt, datetime.datetime.combine(rows[9999][7], datetime.time()))
            self.assertEqual(stored.tm, rows[9999][8])
            self.assertIsNone(cur.execute("SELECT s FROM fast_kinds WHERE id = 7").fetchval())

    def test_errors_have_their_class(self):
        with connect(autocommit=True) as conn:
            conn.execute("CREATE TABLE cls_t (id INTEGER PRIMARY KEY)")
            conn.execute("INSERT INTO cls_t VALUES (1)")
            with self.assertRaises(pyodbc.IntegrityError):
                conn.execute("INSERT INTO cls_t VALUES (1)")
            with self.assertRaises(pyodbc.ProgrammingError):
                conn.execute("SELEC 1")
            with self.assertRaises(pyodbc.ProgrammingError):
                conn.execute("SELECT * FROM no_such_table_at_all")
            self.assertEqual(conn.execute("SELECT COUNT(*) FROM cls_t").fetchval(), 1)

    def test_commit_after_a_caught_error_keeps_the_data(self):
        with connect(autocommit=True) as setup:
            setup.execute("CREATE TABLE after_err (id INTEGER PRIMARY KEY)")
        conn = connect(autocommit=False)
        try:
            cur = conn.cursor()
            cur.execute("INSERT INTO after_err VALUES (1)")
            with self.assertRaises(pyodbc.IntegrityError):
                cur.execute("INSERT INTO after_err VALUES (1)")
            cur.execute("INSERT INTO after_err VALUES (2)")
            conn.commit()
        finally:
            conn.close()
        with connect(autocommit=True) as watcher:
            self.assertEqual(watcher.execute("SELECT COUNT(*) FROM after_err").fetchval(), 2)


if __name__ == "__main__":
    unittest.main()
