#pragma once
// The walk that decides which files go into the installation archive, and in which order: a
// directory's subdirectories depth first, in listing order, before its own files.
#include <string>

#include "backup/zip/archive_files.h"
#include "backup/zip/walk_snapshot.h"
#include "backup/zip/zip_writer.h"

namespace mvn {

// The parent of directory, with its trailing backslash: what is cut from the front of every path to
// form entry names. C:\Apps\Ostrana\Morvane gives C:\Apps\Ostrana\.
std::wstring NameRoot(const std::wstring& directory);

// Adds every file below installDir (no trailing backslash) to writer, except the one whose full path
// equals ownModulePath exactly, case included. Hidden and system subdirectories are walked too: the
// emptying that follows the archive deletes them. Returns every folder and file listed, the skipped
// program included, in walk order. Throws ZipError.
WalkSnapshot DoZip(ArchiveFiles& files, ZipWriter& writer, const std::wstring& installDir,
                   const std::wstring& ownModulePath);

// The same walk, opening and reading no file. Throws ZipError.
WalkSnapshot WalkOnly(ArchiveFiles& files, const std::wstring& installDir);

}  // namespace mvn
