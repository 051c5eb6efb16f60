SELECT id, name, email FROM customers WHERE id <= 5 ORDER BY id
SELECT COUNT(*) AS orders FROM orders
