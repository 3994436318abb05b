// The GENERATE command and its sub-mode.
#pragma once

class CommandType;
class ModelInterpreter;

// GENERATE: alone it turns the sub-mode on (prompt "   Gen>"); an empty line
// in the sub-mode, QUIT or STOP turn it off; otherwise it runs one sub-command.
void GenerateCommand(ModelInterpreter& interp);

// A sub-command that another part of generation supplies (zone, merge,
// topograph, separate). Until one is installed the word fails with a model
// error; a null handler takes it away again.
using GenerateSubCommand = void (*)(ModelInterpreter& interp);
void InstallGenerateSubCommand(const char* keyword, GenerateSubCommand handler);

// GENERATE POINT: [id n] x y z.
void GenPointCommand(CommandType& interp);
// GENERATE TEST: vclo or inv, and a position; one line per volume.
void GenTestCommand(CommandType& interp);
// PRINT GENERATE surface, point or volume.
void PrintGenerate(ModelInterpreter& interp);
