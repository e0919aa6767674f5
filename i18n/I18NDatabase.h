// The I18N database as the translation dialogs use it: its statements (S1 to S12) and the operations
// built on them.
//
// Tables: I18NFIELDNAMES (PROVIDERNAME, BISTYPE, FIELDNAME, LABEL), I18NFIELDVALUES (PROVIDERNAME,
// BISTYPE, FIELDNAME, FIELDVALUE, LABEL) and I18NTEXT (LABEL, TEXT, LOCALEID, DATECHANGED, STATUS).
// BISTYPE is the provider kind in lower case ("drav", "eai"); the dialogs work with locale 1033 only
// and write STATUS 0.
//
// Values go into the statements between single quotes with every single quote inside them doubled,
// so that no text a designer types can end the literal and change the statement; a value without a
// quote gives exactly the statement text it always gave.
//
// Each I18NConnection is one ADO connection, opened when it is made and closed when it ends (also
// when an operation stops on an error). Every operation of the dialogs makes its own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ado.h"
#include "platform/Com.h"

namespace i18n {

// The fixed connection string of the new-label dialog.
inline constexpr std::string_view kVistelleConnectionString = "DSN=Vistelle;UID=WWWappsVistelle;PWD=";

// A value placed between single quotes: every single quote doubled.
std::string SqlText(std::string_view value);

// The statements, byte for byte; p provider name, b kind, f field name, v field value, l label,
// t English text, d date text.
std::string S1(std::string_view p, std::string_view b, std::string_view f);
std::string S2();
std::string S3();
std::string S4(std::string_view l);
std::string S5(std::string_view p, std::string_view b, std::string_view f);
std::string S6(std::string_view l, std::string_view p, std::string_view b, std::string_view f);
std::string S7(std::string_view p, std::string_view b, std::string_view f, std::string_view l);
std::string S8(std::string_view p, std::string_view b, std::string_view f, std::string_view v);
std::string S9(std::string_view l, std::string_view p, std::string_view b, std::string_view f,
               std::string_view v);
std::string S10(std::string_view p, std::string_view b, std::string_view f, std::string_view v,
                std::string_view l);
std::string S11(std::string_view t, std::string_view d, std::string_view l);
std::string S12(std::string_view l, std::string_view t, std::string_view d);

// The date text of DATECHANGED: ISO 8601 "YYYY-MM-DD" (see ShortDate in I18NDatabase.cpp).
std::string ShortDate(int year, unsigned month, unsigned day);
// Today's date in the local time zone, as ShortDate writes it.
std::string TodayShortDate();

// The connection string of the I18N database from the data-source connection component, created
// anew by its ProgID for each call. A component that cannot be created is error 429; a failing call
// raises its HRESULT.
std::string I18NConnectionString(platform::ComponentCreator* components);

struct FieldValueTranslation {
  std::string value;  // FIELDVALUE
  std::string label;  // LABEL
  std::string text;   // TEXT (locale 1033)
};

// The outcome of writing a label's English text.
struct LabelTextWrite {
  bool written = false;   // S11 or S12 affected exactly one record
  std::string statement;  // the last statement run (S12 when S11 did not update one record)
};

class I18NConnection {
 public:
  // Opens a connection (empty user, empty password, options -1).
  I18NConnection(platform::ado::DataAccess& access, std::string_view connectionString);
  ~I18NConnection();
  I18NConnection(const I18NConnection&) = delete;
  I18NConnection& operator=(const I18NConnection&) = delete;

  // Closes the connection (the destructor does it when this is not called).
  void Close();

  // S1 has at least one row.
  bool FieldnameTranslationExists(std::string_view p, std::string_view b, std::string_view f);
  // The LABEL of every row of S2 (labels after "KRMVA1999" in text order) or S3 (labels beginning
  // with "KRMVA"), in the order returned.
  std::vector<std::string> LabelsAfterKRMVA1999();
  std::vector<std::string> KRMVALabels();
  // The TEXT of S4's first row; nothing when there is no row or its TEXT is NULL.
  std::optional<std::string> LabelText(std::string_view l);
  // FIELDVALUE, LABEL and TEXT of every row of S5.
  std::vector<FieldValueTranslation> FieldValueTranslations(std::string_view p, std::string_view b,
                                                            std::string_view f);
  // S6, then S7 when S6 did not affect exactly one record.
  void SetFieldnameLabel(std::string_view p, std::string_view b, std::string_view f, std::string_view l);
  void DeleteFieldValueTranslation(std::string_view p, std::string_view b, std::string_view f,
                                   std::string_view v);  // S8
  void ChangeFieldValueTranslation(std::string_view p, std::string_view b, std::string_view f,
                                   std::string_view v, std::string_view l);  // S9
  void InsertFieldValueTranslation(std::string_view p, std::string_view b, std::string_view f,
                                   std::string_view v, std::string_view l);  // S10
  // S11, then S12 when S11 did not affect exactly one record.
  LabelTextWrite WriteLabelText(std::string_view l, std::string_view t, std::string_view d);

 private:
  std::int32_t Run(const std::string& statement);
  std::vector<std::string> Column(const std::string& query, std::string_view column);

  std::unique_ptr<platform::ado::Connection> connection_;
};

}  // namespace i18n
