/*
 * Target database of the demonstration and of the tests: an older copy of the invoicing schema
 * that has only the customer table with its key column, the customer generator and one of the
 * exceptions. Run with isql-fb on an empty database; the caller commits.
 */

CREATE GENERATOR G_CLIENTES;

CREATE EXCEPTION E_ESTOQUE 'Sem estoque';

CREATE TABLE CLIENTES (
    ID INTEGER NOT NULL,
    CONSTRAINT PK_CLIENTES PRIMARY KEY (ID)
);

-- No rows: the server refuses to add a NOT NULL column to a table that holds rows, and the demo
-- is meant to show the table process completing the customer table.
