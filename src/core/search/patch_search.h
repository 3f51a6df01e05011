#pragma once
// The patch search: the patch files under a folder in which a chosen effect module is switched on
// and uses a chosen model. Nothing is decoded and nothing is written. The search window and the
// command line include this header; the parts live in their own files:
//
//   search_modules.h  what can be searched: the five modules, their ids and model lists
//   patch_match.h     the match test: which paths are patch files, and the rule on their bytes
//   file_reading.h    reading one file for the match test, in bounded chunks
//   tree_walk.h       the folder tree listed breadth-first, piece by piece
//   search_texts.h    the refusals before a search and its status texts
//   search_run.h      the whole search on a few threads, reporting in list order

#include "search/file_reading.h"
#include "search/patch_match.h"
#include "search/search_modules.h"
#include "search/search_run.h"
#include "search/search_texts.h"
