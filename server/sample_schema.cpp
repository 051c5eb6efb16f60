#include "server/sample_schema.h"

namespace kestrion::server {

namespace {
constexpr const char* kSchema = R"SQL(
BEGIN;
CREATE TABLE customers (
  id INTEGER PRIMARY KEY,
  name VARCHAR(40) NOT NULL,
  email VARCHAR(80),
  vip BOOLEAN NOT NULL DEFAULT 0,
  created TIMESTAMP,
  notes TEXT,
  token UUID
);
CREATE TABLE products (
  id INTEGER PRIMARY KEY,
  code CHAR(8) NOT NULL UNIQUE,
  title VARCHAR(60) NOT NULL,
  price DECIMAL(10,2) NOT NULL,
  weight REAL,
  stock SMALLINT,
  rating TINYINT,
  barcode BIGINT,
  photo PICTURE,
  datasheet BLOB
);
CREATE TABLE orders (
  id INTEGER PRIMARY KEY,
  customer_id INTEGER NOT NULL REFERENCES customers(id),
  ordered DATE NOT NULL,
  preparation TIME,
  total DOUBLE,
  shipped BOOLEAN
);
CREATE TABLE order_lines (
  order_id INTEGER NOT NULL REFERENCES orders(id),
  line SMALLINT NOT NULL,
  product_id INTEGER NOT NULL REFERENCES products(id),
  quantity INT NOT NULL,
  amount NUMERIC,
  PRIMARY KEY (order_id, line)
);
CREATE TABLE returns (
  id INTEGER PRIMARY KEY,
  order_id INTEGER NOT NULL,
  line SMALLINT NOT NULL,
  reason VARCHAR(60),
  replaces INTEGER REFERENCES returns(id),
  FOREIGN KEY (order_id, line) REFERENCES order_lines(order_id, line)
);
CREATE VIEW order_totals AS
  SELECT o.id AS order_id, c.name AS customer, o.ordered AS ordered, o.total AS total
  FROM orders o JOIN customers c ON c.id = o.customer_id;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)
INSERT INTO customers (id, name, email, vip, created, notes, token)
SELECT i,
       'Customer ' || i,
       CASE WHEN i % 7 = 0 THEN NULL ELSE 'customer' || i || '@example.com' END,
       i % 10 = 0,
       printf('2024-%02d-%02d %02d:%02d:%02d', 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60),
       CASE WHEN i % 3 = 0 THEN 'Prefers delivery before ' || (8 + i % 4) || ' o''clock' ELSE NULL END,
       CASE WHEN i % 5 = 0 THEN NULL ELSE
         printf('%08x-0000-4000-8000-%012x', i * 2654435761 % 4294967296, i) END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)
INSERT INTO products (id, code, title, price, weight, stock, rating, barcode, photo, datasheet)
SELECT i,
       printf('P%07d', i),
       'Product ' || i || CASE i % 4 WHEN 0 THEN ' (large)' WHEN 1 THEN ' (small)' ELSE '' END,
       printf('%d.%02d', 1 + (i * 37) % 500, (i * 13) % 100),
       0.25 * (1 + i % 40),
       (i * 17) % 1000,
       i % 6,
       4000000000000 + i,
       CASE WHEN i % 10 = 0 THEN x'89504E470D0A1A0A' ELSE NULL END,
       CASE WHEN i % 2 = 0 THEN cast(printf('datasheet-%d', i) AS BLOB) ELSE NULL END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)
INSERT INTO orders (id, customer_id, ordered, preparation, total, shipped)
SELECT i,
       1 + (i * 31) % 500,
       date('2024-01-01', '+' || (i % 366) || ' days'),
       (i % 90) * 60000 + (i % 60) * 1000,
       NULL,
       CASE WHEN i % 9 = 0 THEN NULL ELSE i % 3 <> 0 END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2999)
INSERT INTO order_lines (order_id, line, product_id, quantity, amount)
SELECT 1 + i / 3, 1 + i % 3, 1 + (i * 7) % 200, 1 + i % 5, NULL FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30)
INSERT INTO returns (id, order_id, line, reason, replaces)
SELECT i, 1 + (i * 29) % 1000, 1 + i % 3, CASE i % 3 WHEN 0 THEN 'Damaged' WHEN 1 THEN 'Wrong size' ELSE NULL END,
       CASE WHEN i % 10 = 0 THEN i - 1 ELSE NULL END
FROM n;

UPDATE order_lines SET amount = round(quantity * (SELECT price FROM products p WHERE p.id = product_id), 2);
UPDATE orders SET total = round((SELECT sum(amount) FROM order_lines l WHERE l.order_id = orders.id), 2);
COMMIT;
)SQL";
}  // namespace

bool LoadSampleSchema(sqlite3* db) {
  sqlite3_stmt* s = nullptr;
  bool exists = false;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_schema WHERE name = 'customers'", -1, &s, nullptr) == SQLITE_OK)
    exists = sqlite3_step(s) == SQLITE_ROW;
  sqlite3_finalize(s);
  if (exists) return true;
  if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}

}  // namespace kestrion::server
