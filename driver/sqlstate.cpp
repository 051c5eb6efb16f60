#include "driver/sqlstate.h"

namespace kestrion {
namespace {

struct Entry {
  std::u16string_view code;
  std::u16string_view text;
};

constexpr Entry kTable[kSqlStateCount] = {
    {u"00000", u"NO ERROR"},
    {u"01000", u"General warning"},
    {u"01001", u"Cursor operation conflict"},
    {u"01002", u"Disconnect error"},
    {u"01003", u"NULL value eliminated in set function "},
    {u"01004", u"String data, right-truncated"},
    {u"01006", u"Privilege not revoked"},
    {u"01007", u"Privilege not granted"},
    {u"01S00", u"Invalid connection string attribute"},
    {u"01S01", u"Error in row"},
    {u"01S02", u"Option value changed"},
    {u"01S06", u"Attempt to fetch before the result set returned the first rowset"},
    {u"01S07", u"Fractional truncation"},
    {u"01S08", u"Error saving File DSN"},
    {u"01S09", u"Invalid keyword"},
    {u"07001", u"Wrong number of parameters"},
    {u"07002", u"COUNT field incorrect"},
    {u"07005", u"Prepared statement not a cursor-specification"},
    {u"07006", u"Restricted data type attribute violation"},
    {u"07009", u"Invalid descriptor index"},
    {u"07S01", u"Invalid use of default parameter"},
    {u"08001", u"Client unable to establish connection"},
    {u"08002", u"Connection name in use"},
    {u"08003", u"Connection does not exist "},
    {u"08004", u"Server rejected the connection"},
    {u"08007", u"Connection failure during transaction"},
    {u"08S01", u"Communication link failure"},
    {u"21S01", u"Insert value list does not match column list"},
    {u"21S02", u"Degree of derived table does not match column list"},
    {u"22001", u"String data, right-truncated"},
    {u"22002", u"Indicator variable required but not supplied"},
    {u"22003", u"Numeric value out of range"},
    {u"22007", u"Invalid datetime format"},
    {u"22008", u"Datetime field overflow"},
    {u"22012", u"Division by zero"},
    {u"22015", u"Interval field overflow"},
    {u"22018", u"Invalid character value for cast specification "},
    {u"22019", u"Invalid escape character"},
    {u"22025", u"Invalid escape sequence"},
    {u"22026", u"String data, length mismatch"},
    {u"23000", u"Integrity constraint violation"},
    {u"24000", u"Invalid cursor state"},
    {u"25000", u"Invalid transaction state"},
    {u"25S01", u"Transaction state"},
    {u"25S02", u"Transaction is still active"},
    {u"25S03", u"Transaction is rolled back"},
    {u"28000", u"Invalid authorization specification"},
    {u"34000", u"Invalid cursor name"},
    {u"3C000", u"Duplicate cursor name"},
    {u"3D000", u"Invalid catalog name"},
    {u"3F000", u"Invalid schema name"},
    {u"40001", u"Serialization failure"},
    {u"40002", u"Integrity constraint violation"},
    {u"40003", u"Statement completion unknown "},
    {u"42000", u"Syntax error or access violation"},
    {u"42S01", u"Base table or view already exists"},
    {u"42S02", u"Base table or view not found"},
    {u"42S11", u"Index already exists"},
    {u"42S12", u"Index not found"},
    {u"42S21", u"Column already exists"},
    {u"42S22", u"Column not found"},
    {u"44000", u"WITH CHECK OPTION violation"},
    {u"HY000", u"General error"},
    {u"HY001", u"Memory allocation error"},
    {u"HY003", u"Invalid application buffer type"},
    {u"HY004", u"Invalid SQL data type"},
    {u"HY007", u"Associated statement is not prepared"},
    {u"HY008", u"Operation canceled"},
    {u"HY009", u"Invalid use of null pointer"},
    {u"HY010", u"Function sequence error"},
    {u"HY011", u"Attribute cannot be set now"},
    {u"HY012", u"Invalid transaction operation code"},
    {u"HY013", u"Memory management error"},
    {u"HY014", u"Limit on the number of handles exceeded"},
    {u"HY015", u"No cursor name available"},
    {u"HY016", u"Cannot modify an implementation row descriptor"},
    {u"HY017", u"Invalid use of an automatically allocated descriptor handle"},
    {u"HY018", u"Server declined cancel request"},
    {u"HY019", u"Non-character and non-binary data sent in pieces"},
    {u"HY020", u"Attempt to concatenate a null value"},
    {u"HY021", u"Inconsistent descriptor information"},
    {u"HY024", u"Invalid attribute value"},
    {u"HY090", u"Invalid string or buffer length"},
    {u"HY091", u"Invalid descriptor field identifier"},
    {u"HY092", u"Invalid attribute/option identifier"},
    {u"HY095", u"Function type out of range"},
    {u"HY096", u"Invalid information type"},
    {u"HY097", u"Column type out of range"},
    {u"HY098", u"Scope type out of range"},
    {u"HY099", u"Nullable type out of range"},
    {u"HY100", u"Uniqueness option type out of range"},
    {u"HY101", u"Accuracy option type out of range"},
    {u"HY103", u"Invalid retrieval code"},
    {u"HY104", u"Invalid precision or scale value"},
    {u"HY105", u"Invalid parameter type "},
    {u"HY106", u"Fetch type out of range"},
    {u"HY107", u"Row value out of range"},
    {u"HY109", u"Invalid cursor position"},
    {u"HY110", u"Invalid driver completion"},
    {u"HY111", u"Invalid bookmark value"},
    {u"HYC00", u"Optional feature not implemented"},
    {u"HYT00", u"Timeout expired"},
    {u"HYT01", u"Connection timeout expired"},
    {u"IM007", u"Lack of parameters in connection string."},
    {u"IM008", u"Dialog failed"},
    {u"S1C00", u"Driver not capable."},
};

}  // namespace

std::optional<SqlState> SqlStateFromCode(std::u16string_view code) {
  if (code.size() != 5) return std::nullopt;
  char16_t upper[5];
  for (std::size_t i = 0; i < 5; ++i) {
    const char16_t c = code[i];
    upper[i] = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
  }
  const std::u16string_view wanted(upper, 5);
  for (int32_t i = 1; i < kSqlStateCount; ++i) {
    if (kTable[i].code == wanted) return static_cast<SqlState>(i);
  }
  return std::nullopt;
}

std::u16string_view SqlStateCode(SqlState state) {
  return kTable[static_cast<int32_t>(state)].code;
}

std::u16string_view SqlStateText(SqlState state) {
  return kTable[static_cast<int32_t>(state)].text;
}

bool IsWarning(SqlState state) {
  auto code = SqlStateCode(state);
  return code[0] == u'0' && code[1] == u'1';
}

}  // namespace kestrion
