#!/usr/bin/env python3
"""Queries the development server through the unixODBC Driver Manager with
pyodbc and prints what the driver answers."""
import sys

import pyodbc

dsn = sys.argv[1] if len(sys.argv) > 1 else "KestrionDemo"


def show(title, rows, columns):
    print(f"\n== {title}")
    widths = [max(len(str(c)), *(len(str(r[i])) for r in rows)) if rows else len(str(c))
              for i, c in enumerate(columns)]
    print("  ".join(str(c).ljust(w) for c, w in zip(columns, widths)))
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print("  ".join(str(v).ljust(w) for v, w in zip(r, widths)))


try:
    conn = pyodbc.connect(f"DSN={dsn}", autocommit=True)
except pyodbc.Error as e:
    print(f"connect to DSN={dsn}: the driver answered {e}")
    sys.exit(1)

print(f"connected to DSN={dsn}")
for name, sql in [
    ("customers", "SELECT id, name, email, vip, created FROM customers ORDER BY id LIMIT 5"),
    ("products", "SELECT code, title, price, stock FROM products WHERE price > ? ORDER BY price DESC LIMIT 5"),
    ("best customers (view order_totals)",
     "SELECT customer, COUNT(*) AS orders, ROUND(SUM(total), 2) AS spent FROM order_totals "
     "GROUP BY customer ORDER BY spent DESC LIMIT 5"),
]:
    try:
        cur = conn.cursor()
        cur.execute(sql, 400) if "?" in sql else cur.execute(sql)
        show(name, cur.fetchall(), [d[0] for d in cur.description])
    except pyodbc.Error as e:
        print(f"\n== {name}: the driver answered {e}")
# A transaction: the insert is rolled back, so the count does not change.
try:
    conn.autocommit = False
    cur = conn.cursor()
    before = cur.execute("SELECT COUNT(*) FROM customers").fetchval()
    cur.execute("INSERT INTO customers (id, name, vip) VALUES (?, ?, ?)", 100000, "Temporary", True)
    inside = cur.execute("SELECT COUNT(*) FROM customers").fetchval()
    conn.rollback()
    after = cur.execute("SELECT COUNT(*) FROM customers").fetchval()
    conn.autocommit = True
    print(f"\n== transaction: {before} customers, {inside} after an insert, {after} after rollback")
except pyodbc.Error as e:
    print(f"\n== transaction: the driver answered {e}")
try:
    tables = [row.table_name for row in conn.cursor().tables()]
    print("\n== tables:", ", ".join(tables))
except pyodbc.Error as e:
    print(f"\n== tables: the driver answered {e}")
conn.close()
