// The notification templates of the server database (table Templates): the six standard texts,
// the rows the upgrade creates, and the conversions of older sender and antivirus settings.
// Everything works on the database module's CurrentDB and CurrentRow.
#pragma once

#include <string>

// The standard texts, stored byte for byte in Windows-1251 with CR LF line breaks.
enum class TVnTemplateText {
    NotDeliveredEn, // T1
    NotDeliveredRu, // T2
    VirusEn,        // T3
    VirusRu,        // T4
    DelayEn,        // T5
    DelayRu,        // T6
};
std::string TemplateText(TVnTemplateText text);

// Creates Templates with the first four rows (non-delivery and virus warning, English and
// Russian), moves the antivirus notification switches into the virus warnings and points the
// non-delivery settings of Main at the English row.
void AddFirstTemplates();

// Appends the two delivery-delay templates, points Main's SendDelayTemplate at the English one
// and splits the sender of every template.
void AddDelayTemplates();

// On CurrentRow, a virus-warning template: takes over the Antivirus switches prefix +
// NotifySender, NotifyRecipients, UseNotifyAddress, NotifyAddress ("Sus" or "Inf") when any of the
// three switches is set, and adds prefix + "Template" = "3" to the Antivirus row. CurrentRow is the
// template row again afterwards.
void ConvertVirusNotify(const std::string& prefix);

// On CurrentRow, a template: From ("name <address>") becomes FromName, followed by FromEmail and
// ServiceNotify = "1".
void SplitTemplateSender();
