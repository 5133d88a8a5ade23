// Lab report references: a "P" line names a STR or PIC of the report's own
// file, by folder\name or by name alone, and that variable is written into
// the document in the line's place.
#include <string>

#include "rich_export/rtf_fields.h"
#include "rich_export/rtf_writer.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

// Names and folders are compared over at most 8 characters, without regard
// to the case of their letters, as the calculator compares them: two names
// are the same when their keys are.
std::string name_key(std::string_view name) {
    std::string key(name.substr(0, kNameWidth));
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

struct ReferenceText {
    std::string folder;
    std::string name;
    bool has_name_part = false;  // a backslash stood in the line
    long end_at = 0;             // the byte that ended the line
};

// Reads the rest of a "P" line up to its 0x0D, a zero byte or the end of the
// file. Spaces are dropped wherever they stand; a backslash starts the name
// part, afresh each time; each part keeps its first 8 characters.
ReferenceText read_reference_text(std::FILE* in) {
    ReferenceText text;
    for (;;) {
        long at = vf_tell(in);
        int c = std::fgetc(in);
        if (c == EOF || c == 0 || c == '\r') {
            text.end_at = at;
            return text;
        }
        if (c == ' ') {
            continue;
        }
        if (c == '\\') {
            text.has_name_part = true;
            text.name.clear();
            continue;
        }
        std::string& part = text.has_name_part ? text.name : text.folder;
        if (part.size() < kNameWidth) {
            part += static_cast<char>(c);
        }
    }
}

}  // namespace

// The table is gone through as a lookup would go through it: at most as many
// entries as the header announces, up to the last whole entry of the file. A
// folder entry sets the folder of the entries after it and never matches; of
// entries with the same folder and name the first one counts.
RtfWriter::EntryTable RtfWriter::read_entry_table(std::FILE* in) {
    FileHeader header;
    vf_read_file_header(&header, in);
    EntryTable table;
    table.last_folder = field_text(header.folder);
    // An entry's data offset is the value before its name: the header's for
    // the first entry, the previous entry's trailing value for the others.
    std::uint32_t data_offset = header.data_offset;
    vf_seek(kNameOffset, in);
    for (unsigned index = 0; index < header.entry_count; ++index) {
        EntryRecord entry;
        if (vf_read_entry(&entry, in) != 1) {
            break;
        }
        if (entry.type_code == kTypeFolder) {
            table.last_folder = field_text(entry.name);
        } else {
            table.first_entries.try_emplace(
                {name_key(table.last_folder), name_key(field_text(entry.name))},
                ReferenceTarget{{true, entry.type_code, data_offset, entry.next_offset},
                                table.last_folder});
        }
        data_offset = entry.next_offset;
    }
    return table;
}

RtfReference RtfWriter::rtf_resolve_reference(std::FILE* in, std::string_view folder,
                                              std::string_view name) {
    if (!entry_table_) {
        entry_table_ = read_entry_table(in);
    }
    auto match = entry_table_->first_entries.find({name_key(folder), name_key(name)});
    if (match == entry_table_->first_entries.end()) {
        current_folder_ = entry_table_->last_folder;
        return RtfReference{};
    }
    current_folder_ = match->second.folder;
    return match->second.reference;
}

void RtfWriter::write_reference(std::FILE* in, std::FILE* out) {
    rtf_close_run(out);
    ReferenceText text = read_reference_text(in);
    // A name alone lies in the current folder.
    std::string folder = text.has_name_part ? text.folder : current_folder_;
    std::string name = text.has_name_part ? text.name : text.folder;
    vf_seek(text.end_at, in);

    RtfReference reference = rtf_resolve_reference(in, folder, name);
    bool embedded = reference.found && embed_reference(reference, in, out);
    check_document_size(out);
    if (run_ended_) {
        return;
    }
    if (!embedded) {
        rtf_write(out, "P:");
        rtf_write(out, "%s", escaped_name(folder) + "\\\\" + escaped_name(name) + "\n");
    }
    // The body goes on with the byte that ended the line.
    vf_seek(text.end_at, in);
}

// Only references make a document much larger than its variable: each may
// write a whole string or picture again.
void RtfWriter::check_document_size(std::FILE* out) {
    if (!run_ended_ && vf_tell(out) > kLargestDocument) {
        std::fprintf(rt_.err, "Error: Document too large: more than %ld MB.\n",
                     kLargestDocument >> 20);
        failure_reported_ = true;
        run_ended_ = true;
    }
}

bool RtfWriter::embed_reference(const RtfReference& reference, std::FILE* in, std::FILE* out) {
    vf_seek(static_cast<long>(reference.data_offset) + kFirstDataByte, in);
    switch (reference.type_code) {
        case kTypeString:
            return rtf_embed_string(in, out,
                                    static_cast<long long>(reference.end_offset) -
                                        static_cast<long long>(reference.data_offset)) == 1;
        case kTypePicture:
            return rtf_embed_picture(in, out) == 1;
        default:
            return false;
    }
}

int RtfWriter::rtf_embed_string(std::FILE* in, std::FILE* out, long long byte_limit) {
    rtf_write(out, "\n\\sect\\sbknone ");
    section_pending_ = true;
    if (settings_.keep_colons) {
        rtf_write(out, " :");
    }
    long long taken = 0;
    if (std::fgetc(in) == 0) {  // a STR's leading zero
        for (;;) {
            int c = std::fgetc(in);
            if (c == EOF || c == 0 || taken >= byte_limit) {
                break;
            }
            ++taken;
            rtf_emit_char(c, in, out);
        }
    }
    rtf_close_run(out);
    return taken > 0 ? 1 : 0;
}

}  // namespace varkit
