// The histories and tables join the program: their commands and PRINT words,
// their save-file sections, the sampling in the step, the tables of the
// constitutive models and the scripting level's answers about them.
#pragma once

class CommandType;
class History;
struct DisplayValue;
class String;

void InstallHistoriesAndTables();

void TableCommand(CommandType& interp);
void PrintTableCommand(CommandType& interp);

// The display column of the step table for a history.
bool HistoryDisplayName(String* name);
bool HistoryDisplayValue(DisplayValue* shown);
