#include "engine/task_rewriter.h"

#include <cerrno>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "parser/document_rewriter.h"
#include "parser/html_buffer.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

constexpr std::string_view kParsedMark = " Parsed";

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

void settleRetrievedByOthers(RewriteJob& job) {
    for (RewriteJob::Object& object : job.objects) {
        if (object.State != ObjectState::RetrievedByOther) {
            continue;
        }
        // In a shared folder the other task's file is named by its path there, which in the
        // site's layout holds folders.
        std::string name = !job.saveSeparate && object.Location.starts_with(job.Dir)
                               ? object.Location.substr(job.Dir.size())
                               : LocalNameFromUrl(object.Location);
        if (job.saveSeparate && !name.empty()) {
            name = MakeUniqueName(name, job.Dir);
            // A copy that fails leaves the name without a file, like a file deleted later.
            static_cast<void>(copyNoOverwrite(object.Location, job.Dir + name));
            object.ContentType = contains(name, ".htm") ? "text/html Parsed" : "unknown";
        }
        object.LocalName = std::move(name);
        object.State = ObjectState::Done;
    }
}

bool isSaved(const RewriteJob::Object& object) {
    return (object.State == ObjectState::Retrieved || object.State == ObjectState::Done) &&
           !object.LocalName.empty();
}

bool isHtml(const RewriteJob::Object& object) {
    return contains(object.ContentType, "htm") || contains(object.ContentType, "HTM");
}

bool isStyleSheet(const RewriteJob::Object& object) {
    return contains(object.ContentType, "css");
}

// The rewritten page goes to a temporary file beside the page, closed but not yet flushed:
// the pass flushes all its pages at once before they replace the old ones.
Status rewritePage(RewriteJob::Object& page, const std::string& path, bool alreadyRewritten,
                   const LocalNameLookup& localNameOf, std::vector<FileReplacement>& pending) {
    Result<std::string> bytes = readWholeFile(path);
    if (!bytes) {
        // A page deleted since it was saved has nothing to rewrite.
        return bytes.error().code == ENOENT ? Status() : Status(bytes.error());
    }
    const auto size = static_cast<std::int64_t>(bytes.value().size());
    if (page.Received == 0) {
        page.Received = size;
    }
    if (page.Size == 0) {
        page.Size = size;
    }
    const std::string& base = page.Location.empty() ? page.URL : page.Location;
    const std::string rewritten =
        isHtml(page) ? RewriteDocument(HtmlBuffer(bytes.value()), base, alreadyRewritten,
                                       localNameOf, page.LocalName)
                     : SpliceLinks(bytes.value(),
                                   FindRewritableCssLinks(bytes.value(), base, alreadyRewritten),
                                   localNameOf, page.LocalName);
    if (rewritten == bytes.value()) {
        return {};
    }
    FileReplacement replacement(path);
    replacement.write(rewritten);
    if (Status closed = replacement.close(false); !closed) {
        return closed;
    }
    pending.push_back(std::move(replacement));
    return {};
}

// The mark says the file holds rewritten links; it does not.
void unmark(RewriteJob::Object& object) {
    object.ContentType.resize(object.ContentType.size() - kParsedMark.size());
}

// An object that ended with an error keeps its saved error page, but links to it go to the
// site: the document may be there by the time the copy is opened.
bool endedWithError(const RewriteJob::Object& object) {
    return object.State == ObjectState::ProtocolError || object.State == ObjectState::FtpError;
}

Status rewritePages(RewriteJob& job) {
    std::unordered_map<std::string_view, std::string_view> localNames;
    for (const RewriteJob::Object& object : job.objects) {
        if (!endedWithError(object)) {
            localNames.try_emplace(object.URL, object.LocalName);
        }
    }
    // A link over the other of http and https names the same document (SchemeTwin).
    const LocalNameLookup localNameOf = [&localNames](std::string_view url) {
        auto found = localNames.find(url);
        if (found == localNames.end()) {
            found = localNames.find(SchemeTwin(url));
        }
        return found == localNames.end() ? std::string_view() : found->second;
    };
    std::vector<FileReplacement> pending;
    // Beside each pending page: the page when this pass marked it, else nullptr.
    std::vector<RewriteJob::Object*> marked;
    Status done;
    for (RewriteJob::Object& object : job.objects) {
        if (object.Received < object.Size) {
            continue;
        }
        const bool alreadyRewritten = contains(object.ContentType, "Parsed");
        if (!alreadyRewritten) {
            object.ContentType += kParsedMark;
        }
        if (!isSaved(object) || !(isHtml(object) || isStyleSheet(object))) {
            continue;
        }
        const std::string path = job.Dir + object.LocalName;
        const std::size_t before = pending.size();
        done = rewritePage(object, path, alreadyRewritten, localNameOf, pending);
        if (!done) {
            if (!alreadyRewritten) {
                unmark(object);
            }
            break;
        }
        if (pending.size() > before) {
            marked.push_back(alreadyRewritten ? nullptr : &object);
        }
    }
    if (Status committed = commitTogether(pending); !committed) {
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (!pending[i].committed() && marked[i] != nullptr) {
                unmark(*marked[i]);
            }
        }
        return done ? committed : done;
    }
    return done;
}

}  // namespace

Status RewriteTask(RewriteJob& job) {
    settleRetrievedByOthers(job);
    return rewritePages(job);
}

RewriteResult runRewritePass(RewriteJob job) {
    RewriteResult result{job.task, job.objects, {}, {}};
    result.status = RewriteTask(job);
    result.after = std::move(job.objects);
    return result;
}

}  // namespace quillharbor
