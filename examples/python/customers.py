#!/usr/bin/env python3
"""Lists the first customers of the sample database with pyodbc.

Usage: python3 customers.py "DSN=KestrionSample;UID=demo;PWD=demo" [LIMIT]
  or:  python3 customers.py "DRIVER={Kestrion};Server=127.0.0.1;Port=19812;UID=demo;PWD=demo"
"""
import sys

import pyodbc


def main():
    connection_string = sys.argv[1] if len(sys.argv) > 1 else "DSN=KestrionSample"
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    try:
        connection = pyodbc.connect(connection_string, autocommit=True)
    except pyodbc.Error as error:
        # error.args: (SQLSTATE, message), for example ('08001', '... Client unable to establish connection.')
        print("connect failed:", error.args[0], error.args[1], file=sys.stderr)
        return 1
    with connection:
        cursor = connection.cursor()
        # Parameters travel as typed values, never pasted into the text.
        cursor.execute("SELECT id, name, email FROM customers WHERE id <= ? ORDER BY id", limit)
        for customer_id, name, email in cursor:
            print(f"{customer_id:3}  {name:<14} {email or '(no e-mail)'}")
        cursor.execute("SELECT COUNT(*) FROM orders")
        print("orders:", cursor.fetchone()[0])
    return 0


if __name__ == "__main__":
    sys.exit(main())
