#include "ListSourceFile.h"

#include "ErrnoText.h"
#include "FileDescriptor.h"
#include "FolderEntries.h"
#include "OpenFile.h"
#include "PrintableName.h"
#include "RowFormatter.h"
#include "ScanRows.h"
#include "TextEncoding.h"

#include <algorithm>
#include <limits>
#include <unistd.h>
#include <utility>

namespace kestrel {

namespace {

// JSON rows go out in pieces of about this size as they are made.
constexpr size_t kEmitAt = size_t{256} << 10;

template <class OnRow>
void ScanShownRows(TextLineReader& reader, const ListerOptions& options, OnRow&& onRow) {
    ScanRowViews(reader, ReservedWords(), options.headings, [&](const SymbolRowView& row) {
        if (options.Shows(row.category)) {
            onRow(row);
        }
    });
}

// Regular files of any size are read whole; pipes, FIFOs, sockets and
// terminals, which may never end, up to kLargeFileBytes.
const ReadPolicy kSourcePolicy{.streams = true};

std::string ReadFailureText(const FileRead& read) {
    switch (read.end) {
    case ReadEnd::Complete:
        break;
    case ReadEnd::Failed:
        return ErrnoText(read.error);
    case ReadEnd::Refused:
        return read.kind == FileKind::Folder ? "Is a directory" : "not a regular file";
    case ReadEnd::Changed:
        return "changed while it was read";
    case ReadEnd::TooLarge:
    case ReadEnd::Cancelled:
        return IsStream(read.kind) ? "too large (more than 256 MiB from a pipe or terminal)"
                                   : "too large to hold in memory";
    }
    return {};
}

// Reads or maps the file; its bytes go to `bytes`.
std::string ReadError(const SourcePath& path, ListerScratch& scratch, std::string_view& bytes) {
    if (!path.error.empty()) {
        return path.error;
    }
    // Most files are small: one open, one look at the file, one read, from
    // one size, so a change under the read shows in the bytes read and needs
    // no second look. A regular file too large to read this way is mapped
    // instead, through the same descriptor, or, where that fails, read whole.
    const ReadPolicy smallFile{.streams = true, .fileLimit = scratch.mapFrom - 1, .recheck = false};
    FileRead read;
    FileDescriptor opened;
    if (path.path == "-") {
        read = ReadOpenFile(STDIN_FILENO, kSourcePolicy, scratch.bytes);
    } else {
        opened = FileDescriptor(
            OpenEntryForReading(path.folder.get(), path.path, path.nameAt, smallFile.streams));
        if (!opened.IsOpen()) {
            return ErrnoText(errno);
        }
        read = ReadOpenFile(opened.Get(), smallFile, scratch.bytes, true);
    }
    const bool large = read.end == ReadEnd::TooLarge && read.kind == FileKind::Regular;
    if (large && opened.IsOpen() && scratch.mapped.Map(opened.Get(), read.size)) {
        bytes = scratch.mapped.Bytes();
    } else {
        if (large) {
            read = ReadOpenFile(opened.Get(), kSourcePolicy, scratch.bytes, true);
        }
        if (!read) {
            return ReadFailureText(read);
        }
        bytes = scratch.bytes.View();
    }
    // Line numbers are 32-bit, as in the add-in; only a file of more than
    // 2 GiB can have more lines than that. (The number after the last LF
    // goes to the end's empty text, which makes no row.)
    constexpr auto kLastLine = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    if (bytes.size() > kLastLine && CountLines(bytes) > kLastLine + 1) {
        return "more lines than a line number can hold (2,147,483,647)";
    }
    return {};
}

} // namespace

bool ListSourceFile(const SourcePath& path, const ListerOptions& options, ListerScratch& scratch,
                    OrderedOutput& out, size_t slot, CtagsLines* ctags) {
    std::string& output = scratch.output;
    output.clear();
    // The output file met in a folder walk or a list is passed over, with a
    // note: it is being written, and the run is no worse for it. (Only when
    // writing to a file: the check costs a stat per file.)
    if (options.outputIdentity && RegularFileIdentity(path.path) == options.outputIdentity) {
        out.Emit(slot, output, true,
                 "kestrel-list: " + PrintableName(path.path) +
                     ": is the output file; not listed\n");
        return true;
    }
    std::string_view bytes;
    std::string error = ReadError(path, scratch, bytes);
    // A mapping is given back with the file, whichever way this ends.
    struct Unmapper {
        MappedFile& mapped;
        ~Unmapper() { mapped.Unmap(); }
    } unmapper{scratch.mapped};
    if (error.empty() && options.Tags() && !NameFitsTagsFile(path.path)) {
        error = "a tab or line break in the name cannot stand in a tags file";
    }
    if (!error.empty()) {
        out.Emit(slot, output, true,
                 "kestrel-list: " + PrintableName(path.path) + ": " + error + "\n");
        return false;
    }
    scratch.reader.Reset(bytes);
    if (options.format == OutputFormat::Json) {
        const std::string fileMember = options.NamesFiles() ? JsonFileMember(path.path) : "";
        output.reserve(kEmitAt + (size_t{64} << 10));
        FileEncoding encoding(bytes);
        ScanShownRows(scratch.reader, options, [&](const SymbolRowView& row) {
            AppendJsonRow(output, row, encoding, fileMember);
            if (output.size() >= kEmitAt) {
                out.Emit(slot, output, false);
            }
        });
    } else {
        const TextEncoding encoding = DetectEncoding(bytes);
        // The table needs every row for its column widths. Room for one row
        // in 64 bytes, up to a million, is reserved at once (Pascal sources
        // have far fewer rows): the pages no row uses are never touched. The
        // rows are kept from file to file and filled again, so their texts
        // cost an allocation only when they outgrow the last file's.
        scratch.rows.reserve(std::min(bytes.size() / 64, size_t{1} << 20));
        size_t count = 0;
        ScanShownRows(scratch.reader, options, [&](const SymbolRowView& row) {
            if (count == scratch.rows.size()) {
                scratch.rows.emplace_back();
            }
            FillSymbolRow(row, scratch.rows[count++]);
        });
        const std::span<const SymbolRow> rows(scratch.rows.data(), count);
        if (options.format == OutputFormat::Ctags) {
            ctags->Add(slot, path.path, rows, encoding);
        } else if (options.format == OutputFormat::Etags) {
            AppendEtagsSection(output, path.path, bytes, rows, encoding);
        } else {
            if (options.NamesFiles()) {
                output += "==> " + PrintableName(path.path) + " <==\n";
            }
            AppendTable(output, rows, encoding);
        }
    }
    // A file cut short by another program while it was mapped has read as
    // zeros from there on: what was listed is not the file as it is.
    if (scratch.mapped.CutShort()) {
        out.Emit(slot, output, true,
                 "kestrel-list: " + PrintableName(path.path) + ": cut short while it was read\n");
        return false;
    }
    out.Emit(slot, output, true);
    return true;
}

} // namespace kestrel
