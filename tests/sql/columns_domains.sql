-- The domains that the columns of columns_source.sql are declared with; a target of the column
-- tests holds them too, as the domain process would have made them.
CREATE DOMAIN DM_CODIGO AS INTEGER NOT NULL;
CREATE DOMAIN DM_NOME AS VARCHAR(40) CHARACTER SET UTF8 DEFAULT 'sem nome' CHECK (VALUE <> '');
CREATE DOMAIN DM_LOGICO AS BOOLEAN DEFAULT TRUE;
CREATE DOMAIN DM_MATRIZ AS SMALLINT [0:2];
