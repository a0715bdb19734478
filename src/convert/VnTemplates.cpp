#include "VnTemplates.h"

#include "VnCp1251.h"
#include "VnDB.h"

namespace {

const char* const TemplatesTable = "Templates";
const char* const TemplateAddress = "postmaster@%Domain%";
const char* const SenderEn = "\"Mail Server\" <postmaster@%Domain%>";
std::string SenderRu() {
    return VN_CP1251("\"Почтовый сервер\" <postmaster@%Domain%>");
}

// Appends a template row in the column order of the first templates; it becomes CurrentRow.
void AddTemplateRow(const std::string& id, const std::string& name, const std::string& from,
                    const char* toSender, const char* toRecipients, const std::string& subject,
                    TVnTemplateText text) {
    AddRow(TemplatesTable);
    AddField("ID", id);
    AddField("Name", name);
    AddField("Description", "");
    AddField("From", from);
    AddField("ToSender", toSender);
    AddField("ToRecipients", toRecipients);
    AddField("ToAddress", "0");
    AddField("Address", TemplateAddress);
    AddField("Subject", subject);
    AddField("Text", TemplateText(text));
    AddField("AttachMsg", "0");
}

std::string TrimSpaces(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace

std::string TemplateText(TVnTemplateText text) {
    switch (text) {
    case TVnTemplateText::NotDeliveredEn:
        return "The mail server of domain %Domain% informs you that message:\r\n"
               "\r\n"
               "From:     %MFrom%\r\n"
               "To:       %MTo%\r\n"
               "Subject:  %MSubject%\r\n"
               "Size:     %Size% bytes\r\n"
               "Received: %RecvDateTime%\r\n"
               "ID:       %FileName%\r\n"
               "\r\n"
               "cannot be delivered to the following recipients:\r\n"
               "%Recipients%%\r\n"
               "If EventID=1 %These recipients do not exist.%Else%%\r\n"
               "If EventID=2 %Message did not fit in mailbox (%MailboxFree% of %MailboxSize% "
               "bytes free).%Else%%\r\n"
               "If EventID=3 %Message is refused by remote server.%Else%%\r\n"
               "/  EventID=4/%Time of sending the message has expired (%UndeliveredHours% "
               "hh:mm).%\r\n"
               "EndIf%%\r\n"
               "If Log<>\"\"%\r\n"
               "\r\n"
               "----\r\n"
               "The fragment of the sending log:\r\n"
               "%Log%%\r\n"
               "EndIf%%\r\n"
               "EndIf%%EndIf%";
    case TVnTemplateText::NotDeliveredRu:
        return VN_CP1251("Почтовый сервер домена %Domain% информирует вас, что письмо:\r\n"
                         "\r\n"
                         "От:      %MFrom%\r\n"
                         "Кому:    %MTo%\r\n"
                         "Тема:    %MSubject%\r\n"
                         "Размер:  %Size% байт\r\n"
                         "Принято: %RecvDateTime%\r\n"
                         "ID:      %FileName%\r\n"
                         "\r\n"
                         "не удалось доставить следующим получателям:\r\n"
                         "%Recipients%%\r\n"
                         "If EventID=1 %Эти получатели не существуют.%Else%%\r\n"
                         "If EventID=2 %Письмо не поместилось в почтовый ящик (свободно "
                         "%MailboxFree% из %MailboxSize% байт).%Else%%\r\n"
                         "If EventID=3 %Внешний сервер отклонил письмо.%Else%%\r\n"
                         "/  EventID=4/%Истекло время, отведённое на отправку письма "
                         "(%UndeliveredHours% чч:мм).%\r\n"
                         "EndIf%%\r\n"
                         "If Log<>\"\"%\r\n"
                         "\r\n"
                         "----\r\n"
                         "Фрагмент журнала отправки:\r\n"
                         "%Log%%\r\n"
                         "EndIf%%\r\n"
                         "EndIf%%EndIf%");
    case TVnTemplateText::VirusEn:
        return "The mail server of domain %Domain% informs you that message:\r\n"
               "\r\n"
               "From:     %MFrom%\r\n"
               "To:       %MTo%\r\n"
               "Subject:  %MSubject%\r\n"
               "Size:     %Size% bytes\r\n"
               "Received: %RecvDateTime%\r\n"
               "ID:       %FileName%\r\n"
               "\r\n"
               "%\r\n"
               "If VirAction=1%is disinfected from virus%Else%%\r\n"
               "If VirAction=2%has caused the suspicion on virus%Else%%\r\n"
               "/  VirAction=3/%%\r\n"
               "If MsgDeleted=0%is infected by virus%Else%%\r\n"
               "/  MsgDeleted=1/%contained the virus%EndIf%%\r\n"
               "EndIf%%EndIf% %Virus%%If MsgDeleted=1% and was removed%EndIf%.\r\n"
               "Checking is performed by antivirus %Antivirus%.";
    case TVnTemplateText::VirusRu:
        return VN_CP1251("Почтовый сервер домена %Domain% информирует вас, что письмо:\r\n"
                         "\r\n"
                         "От:      %MFrom%\r\n"
                         "Кому:    %MTo%\r\n"
                         "Тема:    %MSubject%\r\n"
                         "Размер:  %Size% байт\r\n"
                         "Принято: %RecvDateTime%\r\n"
                         "ID:      %FileName%\r\n"
                         "\r\n"
                         "%\r\n"
                         "If VirAction=1%излечено от вируса%Else%%\r\n"
                         "If VirAction=2%вызвало подозрение на вирус%Else%%\r\n"
                         "/  VirAction=3/%%\r\n"
                         "If MsgDeleted=0%заражено вирусом%Else%%\r\n"
                         "/  MsgDeleted=1/%содержало вирус%EndIf%%\r\n"
                         "EndIf%%EndIf% %Virus%%If MsgDeleted=1% и было удалено%EndIf%.\r\n"
                         "Проверка выполнена антивирусом %Antivirus%.");
    case TVnTemplateText::DelayEn:
        return "The mail server of domain %Domain% informs you that message:\r\n"
               "\r\n"
               "From:     %MFrom%\r\n"
               "To:       %MTo%\r\n"
               "Subject:  %MSubject%\r\n"
               "Size:     %Size% bytes\r\n"
               "Received: %RecvDateTime%\r\n"
               "ID:       %FileName%\r\n"
               "\r\n"
               "could not be delivered to the following recipients:\r\n"
               "%Recipients%within %DelayTimeout% hh:mm.\r\n"
               "The server will continue to attempt to deliver the message\r\n"
               "until expiration of time allowed for delivery (%UndeliveredHours% hh:mm),\r\n"
               "after that it will delete the message as undelivered and\r\n"
               "send you a corresponding notification.%\r\n"
               "If Log<>\"\"%\r\n"
               "\r\n"
               "----\r\n"
               "The fragment of the sending log:\r\n"
               "%Log%%\r\n"
               "EndIf%";
    case TVnTemplateText::DelayRu:
        return VN_CP1251("Почтовый сервер домена %Domain% информирует вас, что письмо:\r\n"
                         "\r\n"
                         "От:      %MFrom%\r\n"
                         "Кому:    %MTo%\r\n"
                         "Тема:    %MSubject%\r\n"
                         "Размер:  %Size% байт\r\n"
                         "Принято: %RecvDateTime%\r\n"
                         "ID:      %FileName%\r\n"
                         "\r\n"
                         "не удалось доставить следующим получателям:\r\n"
                         "%Recipients%в течение %DelayTimeout% чч:мм.\r\n"
                         "Сервер продолжит попытки доставить письмо до истечения времени,\r\n"
                         "отведённого на доставку (%UndeliveredHours% чч:мм), после чего удалит "
                         "письмо\r\n"
                         "как недоставленное и направит вам соответствующее уведомление.%\r\n"
                         "If Log<>\"\"%\r\n"
                         "\r\n"
                         "----\r\n"
                         "Фрагмент журнала отправки:\r\n"
                         "%Log%%\r\n"
                         "EndIf%");
    }
    return std::string();
}

void AddFirstTemplates() {
    AddTable(TemplatesTable);
    AddTemplateRow("1", "01 Message is not delivered", SenderEn, "1", "0",
                   "Message is not delivered", TVnTemplateText::NotDeliveredEn);
    AddTemplateRow("2", VN_CP1251("01 Письмо не доставлено"), SenderRu(), "1", "0",
                   VN_CP1251("Письмо не доставлено"), TVnTemplateText::NotDeliveredRu);
    AddTemplateRow("3", "02 Virus warning", SenderEn, "0", "1", "Virus warning",
                   TVnTemplateText::VirusEn);
    AddTemplateRow("4", VN_CP1251("02 Предупреждение о вирусе"), SenderRu(), "0", "1",
                   VN_CP1251("Предупреждение о вирусе"), TVnTemplateText::VirusRu);
    ForEachRow(TemplatesTable, [] {
        const std::string id = GetField("ID");
        if (id == "3" || id == "4") {
            ConvertVirusNotify("Sus");
            ConvertVirusNotify("Inf");
        }
    });
    ForEachRow("Main", [] {
        AddField("NoUserTemplate", "1");
        AddField("MsgNotFitTemplate", "1");
        AddField("SendTimeoutTemplate", "1");
        AddField("SrvRefuseTemplate", "1");
    });
}

void AddDelayTemplates() {
    const std::string english = NextID(TemplatesTable);
    AddTemplateRow(english, UniqueName(TemplatesTable, "03 Message delivery is delayed"), SenderEn,
                   "1", "0", "Message delivery is delayed", TVnTemplateText::DelayEn);
    AddTableField("Main", "SendDelayTemplate", english);
    const std::string russian = NextID(TemplatesTable);
    AddTemplateRow(
        russian, UniqueName(TemplatesTable, VN_CP1251("03 Доставка письма задерживается")),
        SenderRu(), "1", "0", VN_CP1251("Доставка письма задерживается"), TVnTemplateText::DelayRu);
    ForEachRow(TemplatesTable, SplitTemplateSender);
}

void ConvertVirusNotify(const std::string& prefix) {
    TVnXMLElement* const templateRow = CurrentRow;
    CurrentRow = FindTable("Antivirus")->Child(0);
    const std::string toSender = GetField(prefix + "NotifySender");
    const std::string toRecipients = GetField(prefix + "NotifyRecipients");
    const std::string toAddress = GetField(prefix + "UseNotifyAddress");
    const std::string address = GetField(prefix + "NotifyAddress");
    if (toSender == "1" || toRecipients == "1" || toAddress == "1") {
        AddField(prefix + "Template", "3");
        CurrentRow = templateRow;
        SetField("ToSender", toSender);
        SetField("ToRecipients", toRecipients);
        SetField("ToAddress", toAddress);
        SetField("Address", address);
    }
    CurrentRow = templateRow;
}

void SplitTemplateSender() {
    const std::string from = GetField("From");
    const size_t open = from.find('<');
    std::string name = TrimSpaces(from.substr(0, open));
    std::string address;
    if (open == std::string::npos) {
        address = name;
        name.clear();
    } else {
        const size_t start = from.find_first_not_of('<', open);
        const size_t close = start == std::string::npos ? std::string::npos : from.find('>', start);
        if (start != std::string::npos)
            address = from.substr(start, close == std::string::npos ? close : close - start);
        if (close != std::string::npos) {
            const size_t restStart = from.find_first_not_of('>', close);
            const std::string rest =
                restStart == std::string::npos ? std::string() : TrimSpaces(from.substr(restStart));
            if (!rest.empty())
                name += " " + rest;
        }
    }
    SetField("From", name);
    RenameField("From", "FromName");
    AddField("FromEmail", address);
    AddField("ServiceNotify", "1");
}
