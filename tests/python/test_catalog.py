"""The catalog through the Driver Manager: pyodbc's tables(), columns(),
primaryKeys(), foreignKeys() and getTypeInfo() against the development
server's sample schema. The driver is registered in a private odbcinst.ini;
the server runs on a free loopback port for the duration of the tests."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import pyodbc

DRIVER = os.environ.get("KESTRION_DRIVER_PATH", "")
SERVER = os.environ.get("KESTRION_SERVER_PATH", "")


class SampleServer:
    def __init__(self, directory):
        port_file = os.path.join(directory, "port")
        self.log = open(os.path.join(directory, "server.log"), "w")
        self.process = subprocess.Popen(
            [SERVER, "--listen", "127.0.0.1:0", "--port-file", port_file, "--sample"],
            stdout=self.log, stderr=subprocess.STDOUT)
        self.port = 0
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("the server stopped at start-up")
            try:
                with open(port_file) as f:
                    text = f.read().strip()
                if text:
                    self.port = int(text)
                    return
            except (OSError, ValueError):
                pass
            time.sleep(0.05)
        self.stop()
        raise RuntimeError("the server did not start")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


class CatalogThroughDriverManager(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="kestrion-catalog-")
        with open(os.path.join(cls.directory, "odbcinst.ini"), "w") as f:
            f.write("[Kestrion]\nDriver=%s\nUsageCount=1\n" % DRIVER)
        with open(os.path.join(cls.directory, "odbc.ini"), "w") as f:
            f.write("")
        os.environ["ODBCSYSINI"] = cls.directory
        os.environ["ODBCINI"] = os.path.join(cls.directory, "odbc.ini")
        cls.server = SampleServer(cls.directory)
        cls.connection = pyodbc.connect(
            "DRIVER={Kestrion};Server=127.0.0.1;Port=%d;UID=;PWD=;LoginTimeout=5" % cls.server.port,
            autocommit=True)

    @classmethod
    def tearDownClass(cls):
        cls.connection.close()
        cls.server.stop()
        shutil.rmtree(cls.directory, ignore_errors=True)

    def setUp(self):
        self.cursor = self.connection.cursor()

    def tearDown(self):
        self.cursor.close()

    def test_tables_lists_tables_then_the_view(self):
        rows = self.cursor.tables().fetchall()
        self.assertEqual([r.table_name for r in rows],
                         ["customers", "order_lines", "orders", "products", "returns",
                          "order_totals"])
        self.assertEqual([r.table_type for r in rows], ["TABLE"] * 5 + ["VIEW"])
        self.assertTrue(all(r.table_cat is None and r.table_schem is None for r in rows))
        views = self.cursor.tables(tableType="VIEW").fetchall()
        self.assertEqual([r.table_name for r in views], ["order_totals"])
        self.assertEqual(self.cursor.tables(table="no_such_table").fetchall(), [])

    def test_columns_of_a_table_and_a_view(self):
        rows = self.cursor.columns(table="customers").fetchall()
        self.assertEqual([r.column_name for r in rows],
                         ["id", "name", "email", "vip", "created", "notes", "token"])
        name = rows[1]
        self.assertEqual((name.data_type, name.column_size, name.buffer_length), (1, 40, 80))
        self.assertEqual(name.is_nullable, "NO")
        self.assertEqual(rows[2].is_nullable, "YES")
        self.assertEqual((rows[4].data_type, rows[4].type_name), (93, "TIMESTAMP"))
        self.assertEqual((rows[4].sql_data_type, rows[4].sql_datetime_sub), (9, 3))
        self.assertEqual([r.ordinal_position for r in rows], list(range(1, 8)))
        view = self.cursor.columns(table="order_totals").fetchall()
        self.assertEqual([r.column_name for r in view], ["order_id", "customer", "ordered", "total"])
        self.assertEqual([r.ordinal_position for r in view], [1, 2, 3, 4])

    def test_primary_keys(self):
        rows = self.cursor.primaryKeys("order_lines").fetchall()
        # The composite foreign key of returns relates to the same columns;
        # KEY_SEQ is the place in the key.
        self.assertEqual([(r.column_name, r.key_seq) for r in rows],
                         [("order_id", 1), ("order_id", 1), ("line", 2), ("line", 2)])
        self.assertEqual(self.cursor.primaryKeys("no_such_table").fetchall(), [])

    def test_foreign_keys_on_two_tables(self):
        # The foreign keys of the table, not its own primary key, ordered by
        # related table.
        orders = self.cursor.foreignKeys(foreignTable="orders").fetchall()
        self.assertEqual([(r.pktable_name, r.pkcolumn_name, r.fkcolumn_name, r.key_seq) for r in orders],
                         [("customers", "id", "customer_id", 1)])
        to_customers = self.cursor.foreignKeys(table="customers", foreignTable="orders").fetchall()
        self.assertEqual([r.fkcolumn_name for r in to_customers], ["customer_id"])
        lines = self.cursor.foreignKeys(foreignTable="order_lines").fetchall()
        pairs = {(r.pktable_name, r.fkcolumn_name) for r in lines}
        self.assertIn(("orders", "order_id"), pairs)
        self.assertIn(("products", "product_id"), pairs)
        self.assertTrue(all(r.update_rule == 3 and r.delete_rule == 3 for r in lines))
        # A composite key numbered within the key; a column referring to
        # another one of its own table is a foreign key.
        returns = self.cursor.foreignKeys(foreignTable="returns").fetchall()
        self.assertEqual([(r.pktable_name, r.pkcolumn_name, r.fkcolumn_name, r.key_seq) for r in returns],
                         [("order_lines", "order_id", "order_id", 1), ("order_lines", "line", "line", 2),
                          ("returns", "id", "replaces", 1)])

    def test_get_type_info(self):
        rows = self.cursor.getTypeInfo().fetchall()
        self.assertEqual([r.data_type for r in rows],
                         [-7, 1, 12, -1, -8, -9, -10, -6, 5, 4, -11, -5, 7, 8, 2, -2, -3, -4,
                          91, 92, 93, 110])
        self.assertEqual(rows[1].type_name, "TEXT")
        double = self.cursor.getTypeInfo(pyodbc.SQL_DOUBLE).fetchall()
        self.assertEqual([r.type_name for r in double], ["DOUBLE PRECISION"])
        stamp = self.cursor.getTypeInfo(pyodbc.SQL_TYPE_TIMESTAMP).fetchone()
        self.assertEqual((stamp.type_name, stamp.column_size, stamp.maximum_scale),
                         ("TIMESTAMP", 23, 3))

    def test_text_and_binary_types_answer_their_own_rows(self):
        expected = {pyodbc.SQL_VARCHAR: ("VARCHAR", "max length"),
                    pyodbc.SQL_LONGVARCHAR: ("TEXT", None),
                    pyodbc.SQL_WVARCHAR: ("NVARCHAR", "max length"),
                    pyodbc.SQL_WLONGVARCHAR: ("NTEXT", None),
                    pyodbc.SQL_VARBINARY: ("VARBINARY", "max length"),
                    pyodbc.SQL_LONGVARBINARY: ("BLOB", None)}
        for sql_type, (name, params) in expected.items():
            rows = self.cursor.getTypeInfo(sql_type).fetchall()
            self.assertEqual([(r.type_name, r.data_type, r.create_params) for r in rows],
                             [(name, sql_type, params)])

    def test_table_types_enumeration(self):
        rows = self.cursor.tables(catalog="", schema="", table="", tableType="%").fetchall()
        self.assertEqual([tuple(r) for r in rows],
                         [(None, None, None, "TABLE", None), (None, None, None, "VIEW", None)])
        self.assertEqual(self.cursor.tables(catalog="%", schema="", table="").fetchall(), [])
        self.assertEqual(self.cursor.tables(catalog="", schema="%", table="").fetchall(), [])

    def test_quote_in_a_name_is_not_sql(self):
        self.assertEqual(self.cursor.tables(table="x' or '1'='1").fetchall(), [])
        self.assertEqual(self.cursor.columns(table="x' or '1'='1").fetchall(), [])


if __name__ == "__main__":
    if not DRIVER or not SERVER:
        print("KESTRION_DRIVER_PATH and KESTRION_SERVER_PATH must be set", file=sys.stderr)
        sys.exit(2)
    unittest.main(verbosity=2)
