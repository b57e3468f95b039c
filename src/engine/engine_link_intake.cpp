#include "engine/engine_link_intake.h"

#include <optional>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/robots_gate.h"
#include "engine/slot_holders.h"
#include "model/link_admission.h"
#include "model/message_identity.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/link_resolver.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

// Where the document was finally retrieved from: its links are relative to that.
const std::string& documentBase(const TDnObj& page) {
    return page.Location.empty() ? page.URL : page.Location;
}

// The page's file behind its sentinel, or nothing when it cannot be read (the user is told).
std::optional<HtmlBuffer> readPage(EngineContext& engine, const TDnObj& page) {
    Result<std::string> bytes = readWholeFile(page.Task->Dir + page.LocalName);
    if (!bytes) {
        engine.services.view.ShowNotification(bytes.error().text);
        return std::nullopt;
    }
    return HtmlBuffer(bytes.value());
}

// With "try trailing slashes" a link whose file name has no dot may name a directory. A link
// that ends with a slash already, or has a query that the slash would change, is left alone.
bool wantsSlash(const std::string& link) {
    return !link.ends_with('/') && link.find('?') == std::string::npos &&
           LocalNameFromUrl(link).find('.') == std::string::npos;
}

enum class Pass {
    Take,
    Rescan,
};

class LinkTaking {
public:
    LinkTaking(EngineContext& engine, TDnObj& page, Pass pass)
        : m_engine(engine),
          m_page(page),
          m_task(*page.Task),
          m_pass(pass),
          m_listing(UrlProtocol(page.URL) == Protocol::Ftp) {}

    // Takes one link of the page; false once the task's file limit is reached, which drops the
    // rest of the page's links.
    bool take(std::string link) {
        if (link.empty() ||
            !(m_listing ? ListingEntryAccepted(link, m_task) : LinkAccepted(link, m_task))) {
            return true;
        }
        if (m_task.MaxFiles != 0 && m_task.MaxFiles <= m_task.Total) {
            return false;
        }
        // A listing says which entries are directories; a name it could not tell is tried as
        // a file, and the slot lists it when it proves to be a directory.
        if (!m_listing && TaskHasFlag(m_task, TaskFlag::TrySlashes) && wantsSlash(link)) {
            link += '/';
        }
        const std::int32_t level = m_page.Level + 1;
        TDnObj* child = NewDnObj(m_task, link, level);
        if (child == nullptr) {
            if (m_pass == Pass::Take) {
                lowerLevel(link, level);
            }
            return true;
        }
        child->Referrer = documentBase(m_page);
        RobotsGate gate(m_engine);
        if (UrlProtocol(child->URL) == Protocol::Ftp || !m_engine.state.ObeyRobots) {
            gate.queueObject(*child);
        } else {
            gate.GateNewObject(*child, m_page.Level);
        }
        return true;
    }

private:
    // The held object was found closer to the starting document. Only a document whose scan is
    // over is scanned again: one still waiting for its scan (state 1) takes its links from the
    // lower level anyway, and error pages and partial files are never scanned.
    void lowerLevel(const std::string& link, std::int32_t level) {
        TDnObj* held = m_task.Objects.TaskFindObj(link);
        if (held == nullptr || level >= held->Level) {
            return;
        }
        held->Level = level;
        if (held->State == ObjectState::Done && ShouldParse(*held)) {
            held->State = ObjectState::Retrieved;
            ++m_task.Queued;
            m_engine.post(EngineMessage::ScanLinks, identityOf(*held));
        }
    }

    EngineContext& m_engine;
    TDnObj& m_page;
    TTask& m_task;
    Pass m_pass;
    // The page is the listing of an FTP directory (FTP files are never scanned).
    bool m_listing;
};

}  // namespace

void EngineLinkIntake::ScanLinks(EngineContext& engine, TDnObj& object) {
    TTask& task = *object.Task;
    // A document queued or being retrieved again since the message was posted is left to its
    // new transfer, which brings its own scan; the count this message carried is settled alone.
    if (object.InList != GlobalList::Queue && !heldBySlot(engine.state, object)) {
        object.State = ObjectState::Done;
        if (std::optional<HtmlBuffer> page = readPage(engine, object)) {
            std::vector<std::string> links;
            ExtractLinks(*page, links, false, documentBase(object));
            LinkTaking taking(engine, object, Pass::Take);
            for (std::string& link : links) {
                if (!taking.take(std::move(link))) {
                    break;
                }
            }
        }
    }
    --task.Queued;
    engine.services.view.ShowTaskCounters(task);
    if (task.Queued == 0) {
        engine.post(EngineMessage::TaskEnded, identityOf(task));
    }
}

void EngineLinkIntake::RescanLinks(EngineContext& engine, TDnObj& object) {
    object.State = ObjectState::Done;
    std::optional<HtmlBuffer> page = readPage(engine, object);
    if (!page) {
        return;
    }
    std::vector<std::string> links;
    ExtractLinks(*page, links, true, documentBase(object));
    // The rewriter left local file names (no slash) for the links it could serve locally and
    // absolute URLs for the others.
    const bool rewritten = object.ContentType.find("Parsed") != std::string::npos;
    LinkTaking taking(engine, object, Pass::Rescan);
    for (std::string& link : links) {
        if (rewritten && link.find('/') == std::string::npos) {
            continue;
        }
        // A "base" tag of the page is not followed here.
        ResolveLink(link, documentBase(object));
        if (!taking.take(std::move(link))) {
            break;
        }
    }
    engine.services.view.ShowTaskCounters(*object.Task);
}

void EngineLinkIntake::RobotsAnswer(EngineContext& engine, TDnObj& request, std::string_view body) {
    RobotsGate(engine).OnRobotsAnswer(request, body);
}

}  // namespace quillharbor
