// The I18N database's statements and the translation operations built on them.
#include "i18n/I18NDatabase.h"

#include <cstdio>
#include <ctime>

#include "interfaces/DatasourceConnection.h"
#include "runtime/Error.h"

namespace i18n {
namespace {

using platform::ado::adCmdUnspecified;

// A component that cannot be created is the platform's error 429.
constexpr std::int32_t kCannotCreateObject = 429;

// A field's text; NULL reads as no text.
std::string TextOf(const platform::Variant& value) {
  return value.IsNull() ? std::string() : value.ToString();
}

}  // namespace

std::string SqlText(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size());
  for (char c : value) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted;
}

std::string S1(std::string_view p, std::string_view b, std::string_view f) {
  return "SELECT * FROM I18NFIELDNAMES LEFT OUTER JOIN I18NTEXT ON I18NFIELDNAMES.LABEL=I18NTEXT.LABEL "
         "WHERE PROVIDERNAME='" +
         SqlText(p) + "' AND BISTYPE='" + SqlText(b) + "' AND FIELDNAME='" + SqlText(f) + "'";
}

std::string S2() {
  return "SELECT * FROM I18NTEXT WHERE LOCALEID = 1033 AND LABEL > 'KRMVA1999'";
}

std::string S3() {
  return "SELECT * FROM I18NTEXT WHERE LOCALEID = 1033 AND LABEL LIKE 'KRMVA%'";
}

std::string S4(std::string_view l) {
  return "SELECT TEXT FROM I18NTEXT WHERE LOCALEID = 1033 AND LABEL = '" + SqlText(l) + "'";
}

std::string S5(std::string_view p, std::string_view b, std::string_view f) {
  return "SELECT * FROM I18NFIELDVALUES LEFT OUTER JOIN I18NTEXT ON I18NFIELDVALUES.LABEL=I18NTEXT.LABEL "
         "WHERE PROVIDERNAME='" +
         SqlText(p) + "' AND BISTYPE='" + SqlText(b) + "' AND FIELDNAME='" + SqlText(f) +
         "' AND I18NTEXT.LOCALEID = 1033";
}

std::string S6(std::string_view l, std::string_view p, std::string_view b, std::string_view f) {
  return "UPDATE I18NFIELDNAMES SET LABEL = '" + SqlText(l) + "' WHERE  PROVIDERNAME = '" + SqlText(p) +
         "' AND BISTYPE = '" + SqlText(b) + "' AND FIELDNAME = '" + SqlText(f) + "'";
}

std::string S7(std::string_view p, std::string_view b, std::string_view f, std::string_view l) {
  return "INSERT INTO I18NFIELDNAMES (PROVIDERNAME, BISTYPE, FIELDNAME, LABEL)  VALUES ('" + SqlText(p) +
         "', '" + SqlText(b) + "', '" + SqlText(f) + "', '" + SqlText(l) + "')";
}

std::string S8(std::string_view p, std::string_view b, std::string_view f, std::string_view v) {
  return "DELETE FROM I18NFIELDVALUES WHERE PROVIDERNAME = '" + SqlText(p) + "' AND BISTYPE = '" +
         SqlText(b) + "' AND FIELDNAME = '" + SqlText(f) + "' AND FIELDVALUE = '" + SqlText(v) + "'";
}

std::string S9(std::string_view l, std::string_view p, std::string_view b, std::string_view f,
               std::string_view v) {
  return "UPDATE I18NFIELDVALUES SET LABEL = '" + SqlText(l) + "' WHERE PROVIDERNAME = '" + SqlText(p) +
         "' AND BISTYPE = '" + SqlText(b) + "' AND FIELDNAME = '" + SqlText(f) + "' AND FIELDVALUE = '" +
         SqlText(v) + "'";
}

std::string S10(std::string_view p, std::string_view b, std::string_view f, std::string_view v,
                std::string_view l) {
  return "INSERT INTO I18NFIELDVALUES (PROVIDERNAME, BISTYPE, FIELDNAME, FIELDVALUE, LABEL) VALUES ('" +
         SqlText(p) + "', '" + SqlText(b) + "', '" + SqlText(f) + "', '" + SqlText(v) + "', '" + SqlText(l) +
         "')";
}

std::string S11(std::string_view t, std::string_view d, std::string_view l) {
  return "UPDATE I18NTEXT SET TEXT = '" + SqlText(t) + "', DATECHANGED = '" + SqlText(d) +
         "', STATUS = 0 WHERE  LABEL = '" + SqlText(l) + "' AND LOCALEID = 1033";
}

std::string S12(std::string_view l, std::string_view t, std::string_view d) {
  return "INSERT INTO I18NTEXT (LABEL, TEXT, LOCALEID, DATECHANGED, STATUS)  VALUES ('" + SqlText(l) +
         "', '" + SqlText(t) + "', 1033, '" + SqlText(d) + "', 0)";
}

// DATECHANGED is written as ISO 8601 "YYYY-MM-DD", not in a user's short date format: "03/04/2024"
// means March or April depending on the machine's settings, while the ISO text is read the same
// way by every database the product runs on (SQLite's date functions, the ADO layer's date fields)
// and sorts as text in date order.
std::string ShortDate(int year, unsigned month, unsigned day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", year, month, day);
  return text;
}

std::string TodayShortDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* converted = std::localtime(&now)) local = *converted;  // the UI thread only
  return ShortDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                   static_cast<unsigned>(local.tm_mday));
}

std::string I18NConnectionString(platform::ComponentCreator* components) {
  platform::ComPtr<platform::IDatasourceConnection> source;
  const platform::HRESULT created =
      components
          ? components->CreateInstance(platform::kDatasourceConnectionProgId, platform::CLSCTX_ALL, source)
          : platform::hr::REGDB_E_CLASSNOTREG;
  if (platform::Failed(created)) {
    platform::Raise(kCannotCreateObject,
                    "ActiveX component can't create object: " + platform::HResultText(created));
  }
  std::string connectionString;
  const platform::HRESULT result = source->ConnectionString(platform::kI18NDatasource, connectionString);
  if (platform::Failed(result)) platform::Raise(result, platform::HResultText(result));
  return connectionString;
}

// ---------------------------------------------------------------------------------------------------
// I18NConnection

I18NConnection::I18NConnection(platform::ado::DataAccess& access, std::string_view connectionString)
    : connection_(access.NewConnection()) {
  connection_->SetConnectionString(connectionString);
  connection_->Open();
}

I18NConnection::~I18NConnection() {
  try {
    Close();
  } catch (const platform::Error&) {
    // Closing after a failure: the operation's own error is the one reported.
  }
}

void I18NConnection::Close() {
  if (connection_->State() == platform::ado::adStateOpen) connection_->Close();
}

std::int32_t I18NConnection::Run(const std::string& statement) {
  std::int32_t affected = 0;
  connection_->Execute(statement, &affected, adCmdUnspecified);
  return affected;
}

std::vector<std::string> I18NConnection::Column(const std::string& query, std::string_view column) {
  std::int32_t affected = 0;
  auto rows = connection_->Execute(query, &affected, adCmdUnspecified);
  std::vector<std::string> values;
  while (!rows->Eof()) {
    values.push_back(TextOf(rows->Field(column)));
    rows->MoveNext();
  }
  return values;
}

bool I18NConnection::FieldnameTranslationExists(std::string_view p, std::string_view b, std::string_view f) {
  std::int32_t affected = 0;
  return !connection_->Execute(S1(p, b, f), &affected, adCmdUnspecified)->Eof();
}

std::vector<std::string> I18NConnection::LabelsAfterKRMVA1999() {
  return Column(S2(), "LABEL");
}

std::vector<std::string> I18NConnection::KRMVALabels() {
  return Column(S3(), "LABEL");
}

std::optional<std::string> I18NConnection::LabelText(std::string_view l) {
  std::int32_t affected = 0;
  auto rows = connection_->Execute(S4(l), &affected, adCmdUnspecified);
  if (rows->Eof()) return std::nullopt;
  const platform::Variant text = rows->Field("TEXT");
  if (text.IsNull()) return std::nullopt;
  return text.ToString();
}

std::vector<FieldValueTranslation> I18NConnection::FieldValueTranslations(std::string_view p,
                                                                          std::string_view b,
                                                                          std::string_view f) {
  std::int32_t affected = 0;
  auto rows = connection_->Execute(S5(p, b, f), &affected, adCmdUnspecified);
  std::vector<FieldValueTranslation> translations;
  while (!rows->Eof()) {
    translations.push_back(
        {TextOf(rows->Field("FIELDVALUE")), TextOf(rows->Field("LABEL")), TextOf(rows->Field("TEXT"))});
    rows->MoveNext();
  }
  return translations;
}

void I18NConnection::SetFieldnameLabel(std::string_view p, std::string_view b, std::string_view f,
                                       std::string_view l) {
  if (Run(S6(l, p, b, f)) != 1) Run(S7(p, b, f, l));
}

void I18NConnection::DeleteFieldValueTranslation(std::string_view p, std::string_view b, std::string_view f,
                                                 std::string_view v) {
  Run(S8(p, b, f, v));
}

void I18NConnection::ChangeFieldValueTranslation(std::string_view p, std::string_view b, std::string_view f,
                                                 std::string_view v, std::string_view l) {
  Run(S9(l, p, b, f, v));
}

void I18NConnection::InsertFieldValueTranslation(std::string_view p, std::string_view b, std::string_view f,
                                                 std::string_view v, std::string_view l) {
  Run(S10(p, b, f, v, l));
}

LabelTextWrite I18NConnection::WriteLabelText(std::string_view l, std::string_view t, std::string_view d) {
  LabelTextWrite result;
  result.statement = S11(t, d, l);
  if (Run(result.statement) == 1) {
    result.written = true;
    return result;
  }
  result.statement = S12(l, t, d);
  result.written = Run(result.statement) == 1;
  return result;
}

}  // namespace i18n
