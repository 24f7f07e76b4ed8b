#pragma once
// The parameter query of the procedure process, in one place for the process and for the
// benchmark's floor, which sends it as the process does.

namespace vistrel::sync {

// One row per parameter with the type of its field source (the implicit field, or the domain whose
// type a domain or TYPE OF parameter takes). Beyond the type name the row carries what an exact
// declaration needs: scale and sub-type of integral and blob types, the character set and a
// non-default collation, NOT NULL (the parameter's own, or that of a domain it is declared with)
// and the parameter's default clause. A parameter declared with a domain (or TYPE OF a domain or a
// column) names it, with its own NOT NULL and collation. The tail orders inputs before outputs, each
// in declared order.
inline constexpr char kParameterQueryHead[] =
    "SELECT rdb$procedure_name, rdb$procedure_parameters.rdb$parameter_name,rdb$fields.rdb$field_name,"
    "rdb$fields.rdb$field_type, RDB$FIELD_LENGTH, CASE rdb$fields.RDB$FIELD_TYPE"
    "    WHEN 7 THEN 'SMALLINT'"
    "    WHEN 8 THEN 'integer'"
    "    WHEN 9 THEN 'QUAD'"
    "    WHEN 10 THEN 'FLOAT'"
    "    WHEN 11 THEN 'D_FLOAT'"
    "    WHEN 12 THEN 'DATE'"
    "    WHEN 13 THEN 'TIME'"
    "    WHEN 14 THEN 'CHAR'"
    "    WHEN 16 THEN 'NUMERIC'"
    "    WHEN 23 THEN 'BOOLEAN'"
    "    WHEN 27 THEN 'DOUBLE PRECISION'"
    "    WHEN 35 THEN 'TIMESTAMP'"
    "    WHEN 37 THEN 'VARCHAR'"
    "    WHEN 40 THEN 'CSTRING'"
    "    WHEN 261 THEN 'BLOB'"
    "END AS FIELD_TYPE, RDB$PARAMETER_TYPE, RDB$CHARACTER_LENGTH, RDB$FIELD_PRECISION,"
    " rdb$fields.RDB$FIELD_SCALE, rdb$fields.RDB$FIELD_SUB_TYPE,"
    " (SELECT CS.RDB$CHARACTER_SET_NAME FROM RDB$CHARACTER_SETS CS"
    " WHERE CS.RDB$CHARACTER_SET_ID = rdb$fields.RDB$CHARACTER_SET_ID) AS CHARACTER_SET_NAME,"
    " (SELECT CO.RDB$COLLATION_NAME FROM RDB$COLLATIONS CO"
    " WHERE CO.RDB$CHARACTER_SET_ID = rdb$fields.RDB$CHARACTER_SET_ID"
    " AND CO.RDB$COLLATION_ID = COALESCE(rdb$procedure_parameters.RDB$COLLATION_ID, "
    "rdb$fields.RDB$COLLATION_ID)"
    " AND CO.RDB$COLLATION_ID <> 0) AS COLLATION_NAME,"
    " CASE WHEN rdb$procedure_parameters.RDB$NULL_FLAG = 1"
    " OR (COALESCE(rdb$procedure_parameters.RDB$PARAMETER_MECHANISM, 0) = 0"
    " AND rdb$procedure_parameters.RDB$FIELD_SOURCE NOT STARTING WITH 'RDB$'"
    " AND rdb$fields.RDB$NULL_FLAG = 1) THEN 1 ELSE 0 END AS PARAMETER_NOT_NULL,"
    " rdb$procedure_parameters.RDB$DEFAULT_SOURCE AS PARAMETER_DEFAULT,"
    " rdb$procedure_parameters.RDB$FIELD_SOURCE AS PARAMETER_SOURCE,"
    " COALESCE(rdb$procedure_parameters.RDB$PARAMETER_MECHANISM, 0) AS PARAMETER_MECHANISM,"
    " rdb$procedure_parameters.RDB$RELATION_NAME AS TYPE_RELATION,"
    " rdb$procedure_parameters.RDB$FIELD_NAME AS TYPE_FIELD,"
    " rdb$procedure_parameters.RDB$NULL_FLAG AS OWN_NOT_NULL,"
    " (SELECT CO.RDB$COLLATION_NAME FROM RDB$COLLATIONS CO"
    " WHERE CO.RDB$CHARACTER_SET_ID = rdb$fields.RDB$CHARACTER_SET_ID"
    " AND CO.RDB$COLLATION_ID = rdb$procedure_parameters.RDB$COLLATION_ID"
    " AND rdb$procedure_parameters.RDB$COLLATION_ID <> COALESCE(rdb$fields.RDB$COLLATION_ID, 0)) AS "
    "OWN_COLLATION"
    " FROM rdb$procedure_parameters,    rdb$fields "
    " WHERE rdb$fields.rdb$field_name = rdb$procedure_parameters.rdb$field_source AND rdb$procedure_name='";
inline constexpr char kParameterQueryTail[] = "' ORDER BY RDB$PARAMETER_TYPE, RDB$PARAMETER_NUMBER";

} // namespace vistrel::sync
