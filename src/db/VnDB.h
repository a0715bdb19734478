// The configuration database module: tables of rows of named text columns held in an element
// tree (root vnt-db, children table name="...", rows row, columns col name="..."), reached
// through two module-wide references, and read and written as whole files.
//
// Table and column names are matched without regard to case. Every failure raises: a missing
// table EVnException "Table \"%s\" not found", a missing column "Field \"%s.%s\" not found", a row
// position that does not exist EListError.
#pragma once

#include <functional>
#include <string>

#include "VnXML.h"

// The root of the database being worked on; set by the caller, not owned.
extern TVnXMLElement* CurrentDB;
// The row being worked on: moved by AddRow, LocateRow, LocateID and ForEachRow.
extern TVnXMLElement* CurrentRow;

// The version text written by this program and its number.
extern const char* const DatabaseVersion; // "3.08"
constexpr int DatabaseVersionNumber = 3089;

// ---- Lookup -------------------------------------------------------------------------------

TVnXMLElement* FindTable(const std::string& table);
TVnXMLElement* FindField(const TVnXMLElement* row, const std::string& field);
TVnXMLElement* CurField(const std::string& field);
std::string GetField(const std::string& field);
// The column of the table's first row.
std::string GetTableField(const std::string& table, const std::string& field);

// ---- Change -------------------------------------------------------------------------------

void SetField(const std::string& field, const std::string& value);
void SetTableField(const std::string& table, const std::string& field, const std::string& value);
// Renames a column of CurrentRow; its value and position stay.
void RenameField(const std::string& oldName, const std::string& newName);
void RenameTable(const std::string& oldName, const std::string& newName);

// ---- Addition (always at the end; duplicates are not checked) ----------------------------

TVnXMLElement* AddRowField(TVnXMLElement* row, const std::string& field, const std::string& value);
TVnXMLElement* AddField(const std::string& field, const std::string& value);
TVnXMLElement* AddTableField(const std::string& table, const std::string& field,
                             const std::string& value);
// Appends a row (written in the multi-line form) and makes it CurrentRow.
TVnXMLElement* AddRow(const std::string& table);
TVnXMLElement* AddTable(const std::string& table);

// ---- Search and numbering -----------------------------------------------------------------

// Walks the rows, each becoming CurrentRow, up to the first whose column equals value (the
// locale's case-insensitive comparison). Without a match CurrentRow is left at the last row.
bool LocateRow(const std::string& table, const std::string& field, const std::string& value);
bool LocateID(const std::string& table, const std::string& id);
// The largest value of the column (at least 0) plus one, as decimal text; CurrentRow is kept.
// A value that is not a decimal integer raises EConvertError.
std::string NextValue(const std::string& table, const std::string& field);
std::string NextID(const std::string& table);
std::string NextIndex(const std::string& table);
// baseName, or baseName + " 1", " 2", ... : the first that no row's Name equals; CurrentRow is
// kept.
std::string UniqueName(const std::string& table, const std::string& baseName);

// ---- Iteration ----------------------------------------------------------------------------

// Calls procedure with each row of the table as CurrentRow. A procedure deletes its row by
// destroying it and setting CurrentRow to nullptr; the row that moved into its place is next.
void ForEachRow(const std::string& table, const std::function<void()>& procedure);

// ---- Version and files --------------------------------------------------------------------

// The digits of the text, then "9", the first four characters as an integer: "3.08" -> 3089,
// "" -> 2039.
int VersionNumber(const std::string& version);
// False (version untouched) when the file is missing or empty. Otherwise text is the whole file,
// version the number of its root's ver attribute, and the entity form of versions below 2043 is
// repaired in text.
bool ReadDatabaseFile(const std::string& fileName, int& version, std::string& text);
// Marks the root ver="3.08" (its only attribute) and a container, every table a container
// followed by an empty line, and answers the tree's text: what WriteDatabaseFile writes.
std::string DatabaseText(TVnXMLElement& root);
// DatabaseText written to the stream in pieces.
void WriteDatabase(TVnStream& stream, TVnXMLElement& root);
// Writes DatabaseText safely, in pieces: on failure the old file stays as it was
// (WriteFileAtomic).
void WriteDatabaseFile(const std::string& fileName, TVnXMLElement& root);
