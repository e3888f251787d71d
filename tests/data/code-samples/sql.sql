CREATE TABLE customers (
    id BIGINT PRIMARY KEY,
    name VARCHAR(200) NOT NULL,
    created_at TIMESTAMP
);

SELECT c.name, COUNT(o.id) AS orders
FROM customers c
LEFT JOIN orders o ON o.customer_id = c.id
WHERE c.created_at > '2024-01-01'
GROUP BY c.name
ORDER BY orders DESC;
