#pragma once
// The modes that need the window toolkit, each given the program's arguments for it: the viewer,
// and the modes that write a PDF or a picture without a screen.

#include "command_line.h"

namespace patchlens {

// --sheet-pdf: the same sheet the printer gets, one page per patch, as a PDF; no display needed.
// Every file is decoded from scratch, once to find the pages and once more to paint its page, so
// that only one decoded patch is held at a time however many there are.
int RunSheetPdf(int argc, char **argv, const CommandLine &command);

// --image and --compare-image: the pictures "Save Image..." writes, without a window on a screen.
int RunImage(int argc, char **argv, const CommandLine &command);

// The viewer window with the folder's patches listed and the file loaded; returns when it closes.
int RunViewer(int argc, char **argv, const CommandLine &command);

} // namespace patchlens
