"""Values as pyodbc applications write and read them: GUIDs bound as
uuid.UUID and as text are one value, read back natively or as text; the
server's own sample rows read the same way.

Uses the server and the private driver registration of the everyday tests."""

import unittest
import uuid

import pyodbc

from test_pyodbc_everyday import connect, setUpModule, tearDownModule  # noqa: F401


class Guids(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.conn = connect(autocommit=True)
        cls.conn.execute("CREATE TABLE py_guids (n INTEGER, g UUID)")
        cls.by_object = uuid.UUID("6f9619ff-8b86-d011-b42d-00c04fc964ff")
        cls.by_text = uuid.UUID("0e984725-c51c-4bf4-9960-e1c80e27aba0")
        cls.conn.execute("INSERT INTO py_guids VALUES (?, ?)", 1, cls.by_object)
        cls.conn.execute("INSERT INTO py_guids VALUES (?, ?)", 2, str(cls.by_text))
        # Text in the other usual spellings: upper case, braces, no hyphens.
        cls.conn.execute("INSERT INTO py_guids VALUES (?, ?)", 3,
                         "{%s}" % str(cls.by_object).upper())
        cls.conn.execute("INSERT INTO py_guids VALUES (?, ?)", 4, cls.by_text.hex)

    @classmethod
    def tearDownClass(cls):
        cls.conn.close()

    def numbers_of(self, value):
        rows = self.conn.execute("SELECT n FROM py_guids WHERE g = ? ORDER BY n", value).fetchall()
        return [r.n for r in rows]

    def test_one_value_found_by_either_form(self):
        self.assertEqual(self.numbers_of(self.by_object), [1, 3])
        self.assertEqual(self.numbers_of(str(self.by_object)), [1, 3])
        self.assertEqual(self.numbers_of(self.by_text), [2, 4])
        self.assertEqual(self.numbers_of(str(self.by_text).upper()), [2, 4])

    def test_read_natively_and_as_text(self):
        saved = pyodbc.native_uuid
        try:
            pyodbc.native_uuid = True
            rows = self.conn.execute("SELECT g FROM py_guids ORDER BY n").fetchall()
            self.assertEqual([r.g for r in rows],
                             [self.by_object, self.by_text, self.by_object, self.by_text])
            pyodbc.native_uuid = False
            text = self.conn.execute("SELECT g FROM py_guids WHERE n = 2").fetchval()
            self.assertEqual(text.lower(), str(self.by_text))
        finally:
            pyodbc.native_uuid = saved

    def test_the_sample_tokens_read_as_written(self):
        saved = pyodbc.native_uuid
        try:
            pyodbc.native_uuid = True
            token = self.conn.execute("SELECT token FROM customers WHERE id = 1").fetchval()
            written = self.conn.execute(
                "SELECT printf('%08x-0000-4000-8000-%012x', 2654435761 % 4294967296, 1)").fetchval()
            self.assertEqual(token, uuid.UUID(written))
            # Literal canonical text and a bound UUID are one value.
            found = self.conn.execute("SELECT id FROM customers WHERE token = ?", token).fetchval()
            self.assertEqual(found, 1)
        finally:
            pyodbc.native_uuid = saved


class Descriptions(unittest.TestCase):
    """cursor.description as applications size and convert by it: numbers by
    precision, dates and GUIDs by their text, TEXT and BLOB as long data that
    reads whole however long it is."""

    def test_types_and_sizes_of_every_kind(self):
        with connect(autocommit=True) as conn:
            conn.execute("CREATE TABLE py_kinds (bo BOOLEAN, i INTEGER, bi BIGINT, f DOUBLE, "
                         "d DATE, ts TIMESTAMP, g UUID, v VARCHAR(10), t TEXT, b BLOB)")
            text, blob = "\u00e9" * 70000, bytes(range(256)) * 1000
            conn.execute("INSERT INTO py_kinds (bo, i, v, t, b) VALUES (1, 7, 'v', ?, ?)", text, blob)
            cur = conn.execute("SELECT * FROM py_kinds")
            sizes = [column[3] for column in cur.description]
            self.assertEqual(sizes, [1, 10, 19, 15, 23, 23, 36, 32767, 2147483647, 2147483647])
            row = cur.fetchone()
            self.assertIs(row.bo, True)
            self.assertEqual((row.t, row.b), (text, blob))


if __name__ == "__main__":
    unittest.main()
