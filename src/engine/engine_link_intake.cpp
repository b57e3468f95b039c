#include "engine/engine_link_intake.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/engine_context.h"
#include "engine/retrieved_copy.h"
#include "engine/robots_gate.h"
#include "engine/slot_holders.h"
#include "model/link_admission.h"
#include "model/message_identity.h"
#include "parser/document_rewriter.h"
#include "parser/html_buffer.h"
#include "parser/link_extractor.h"
#include "parser/link_resolver.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

// A longer link is not a link a page means: it would only be sent as an endless request line.
constexpr std::size_t kMaxLinkBytes = 8 * 1024;

// Where the document was finally retrieved from: its links are relative to that.
const std::string& documentBase(const TDnObj& page) {
    return page.Location.empty() ? page.URL : page.Location;
}

// The page's file behind its sentinel, or nothing when it cannot be read (the user is told). A
// settled copy's file is the other task's. The bytes its slot kept stand for the file.
std::optional<HtmlBuffer> readPage(EngineContext& engine, const TDnObj& page) {
    const bool copy = page.State == ObjectState::RetrievedByOther;
    if (auto kept = engine.state.PagesToScan.find(identityOf(page));
        kept != engine.state.PagesToScan.end() && !copy) {
        return HtmlBuffer(kept->second);
    }
    Result<std::string> bytes =
        readWholeFile(copy ? page.Location : page.Task->Dir + page.LocalName);
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

// The URL of each object of a task by its local name, for the local names its rewritten pages
// hold (an error page's too: a page rewritten before links to error pages went to the site).
std::unordered_map<std::string, std::string> urlsByLocalName(const TTask& task) {
    std::unordered_map<std::string, std::string> urls;
    for (const TDnObj& object : task.Objects) {
        if (!object.LocalName.empty()) {
            urls.try_emplace(object.LocalName, object.URL);
        }
    }
    return urls;
}

enum class Pass {
    Take,
    Rescan,
};

class LinkTaking {
public:
    LinkTaking(EngineContext& engine, TDnObj& page, std::string base, Pass pass)
        : m_engine(engine),
          m_page(page),
          m_base(std::move(base)),
          m_task(*page.Task),
          m_pass(pass),
          m_listing(UrlProtocol(page.URL) == Protocol::Ftp),
          m_takesPageLinks(TakesPageLinks(page)) {}

    // Takes one link of the page; false once the task's file limit is reached, which drops the
    // rest of the page's links. A requisite stays at the page's level, so that a page of the
    // last level is still shown whole.
    bool take(std::string link, LinkKind kind = LinkKind::Page) {
        if (kind == LinkKind::Page && !m_takesPageLinks) {
            return true;
        }
        if (link.size() > kMaxLinkBytes) {
            m_engine.services.view.ShowLinkDropped(m_page, link, LinkDrop::TooLong);
            return true;
        }
        // With HTTPS off an https link is one of another scheme, which is not followed.
        if (link.empty() || (!m_engine.state.Https && UrlKind(link) == UrlType::Https) ||
            !(m_listing ? ListingEntryAccepted(link, m_task) : LinkAccepted(link, m_task))) {
            return true;
        }
        if (m_task.Filter.active() && !m_task.Filter.admits(link)) {
            m_engine.services.view.ShowLinkDropped(m_page, link, LinkDrop::Filtered);
            return true;
        }
        if (m_task.MaxFiles != 0 && m_task.MaxFiles <= m_task.Total) {
            if (TaskFindDocument(m_task, link) != nullptr) {
                return true;  // held already: nothing new is lost
            }
            m_engine.services.view.ShowLinkDropped(m_page, link, LinkDrop::FileLimit);
            return false;
        }
        // A listing says which entries are directories; a name it could not tell is tried as
        // a file, and the slot lists it when it proves to be a directory.
        if (!m_listing && TaskHasFlag(m_task, TaskFlag::TrySlashes) && wantsSlash(link)) {
            link += '/';
        }
        const std::int32_t level = m_page.Level + (kind == LinkKind::Page ? 1 : 0);
        TDnObj* child = NewDnObj(m_task, link, level);
        if (child == nullptr) {
            if (m_pass == Pass::Take) {
                lowerLevel(link, level);
            }
            return true;
        }
        child->Referrer = m_base;
        RobotsGate gate(m_engine);
        if (!gate.Applies(*child)) {
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
        TDnObj* held = TaskFindDocument(m_task, link);
        if (held == nullptr || level >= held->Level) {
            return;
        }
        held->Level = level;
        const bool copy = held->State == ObjectState::RetrievedByOther;
        if (copy ? ScansCopy(m_engine.state.SeenList, *held)
                 : held->State == ObjectState::Done && ShouldParse(*held)) {
            if (!copy) {
                held->State = ObjectState::Retrieved;
            }
            ++m_task.Queued;
            m_engine.post(EngineMessage::ScanLinks, identityOf(*held));
        }
    }

    EngineContext& m_engine;
    TDnObj& m_page;
    std::string m_base;  // the Referrer of the objects it creates
    TTask& m_task;
    Pass m_pass;
    // The page is the listing of an FTP directory (FTP files are never scanned).
    bool m_listing;
    bool m_takesPageLinks;  // false at the last level, where only requisites are taken
};

// The links of a saved document in document order: a style sheet's references are all
// requisites; a page's requisites are told apart only in a task that fetches them.
std::vector<FoundLink> linksOf(const TDnObj& page, const HtmlBuffer& bytes) {
    std::vector<FoundLink> links;
    const std::string& base = documentBase(page);
    if (!TaskHasFlag(*page.Task, TaskFlag::PageRequisites)) {
        std::vector<std::string> urls;
        ExtractLinks(bytes, urls, false, base);
        links.reserve(urls.size());
        for (std::string& url : urls) {
            links.push_back({std::move(url), LinkKind::Page});
        }
    } else if (IsStyleSheet(page)) {
        std::vector<std::string> urls;
        ExtractCssLinks(bytes.document(), urls, base);
        for (std::string& url : urls) {
            links.push_back({std::move(url), LinkKind::Requisite});
        }
    } else {
        ExtractLinksAndRequisites(bytes, links, base);
    }
    return links;
}

}  // namespace

void EngineLinkIntake::ScanLinks(EngineContext& engine, TDnObj& object) {
    TTask& task = *object.Task;
    // A document queued or being retrieved again since the message was posted is left to its
    // new transfer, which brings its own scan; the count this message carried is settled alone.
    if (object.InList != GlobalList::Queue && !heldBySlot(engine.state, object)) {
        if (object.State == ObjectState::RetrievedByOther) {
            takeCopyLinks(engine, object);
        } else {
            object.State = ObjectState::Done;
            takePageLinks(engine, object);
        }
    }
    --task.Queued;
    engine.services.view.ShowTaskCounters(task);
    if (task.Queued == 0) {
        engine.post(EngineMessage::TaskEnded, identityOf(task));
    }
}

void EngineLinkIntake::takePageLinks(EngineContext& engine, TDnObj& page) {
    if (std::optional<HtmlBuffer> bytes = readPage(engine, page)) {
        LinkTaking taking(engine, page, documentBase(page), Pass::Take);
        for (FoundLink& link : linksOf(page, *bytes)) {
            if (!taking.take(std::move(link.url), link.kind)) {
                break;
            }
        }
    }
}

// The copy is the owner's file: its links are relative to where the owner was retrieved from,
// and once the owner's task has rewritten it, they are the local names of that task's objects.
void EngineLinkIntake::takeCopyLinks(EngineContext& engine, TDnObj& copy) {
    const TDnObj* owner = CopyOwner(engine.state.SeenList, copy);
    if (owner == nullptr) {
        return;  // gone with its task: what its local names stood for is gone too
    }
    std::optional<HtmlBuffer> bytes = readPage(engine, copy);
    if (!bytes) {
        return;
    }
    const std::string& base = documentBase(*owner);
    const bool rewritten = owner->ContentType.find("Parsed") != std::string::npos;
    std::vector<std::string> links;
    ExtractLinks(*bytes, links, rewritten, base);
    bool namesFresh = false;
    LinkTaking taking(engine, copy, base, Pass::Take);
    for (std::string& link : links) {
        if (rewritten) {
            link = urlOfRewrittenLink(*owner->Task, link, base, namesFresh);
        }
        if (!taking.take(std::move(link))) {
            break;
        }
    }
}

std::string EngineLinkIntake::urlOfRewrittenLink(const TTask& owner, std::string link,
                                                 const std::string& base, bool& namesFresh) {
    const std::string name = LocalNameOfLink(link);
    // Local names never hold a colon: "mailto:" and the like are links as written.
    if (name.empty() || name.find(':') != std::string::npos) {
        ResolveLink(link, base);
        return link;
    }
    if (m_ownerNames.task != identityOf(owner) ||
        (!m_ownerNames.urls.contains(name) && !namesFresh)) {
        m_ownerNames = {identityOf(owner), urlsByLocalName(owner)};
        namesFresh = true;
    }
    const auto found = m_ownerNames.urls.find(name);
    return found == m_ownerNames.urls.end() ? std::string() : found->second;
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
    LinkTaking taking(engine, object, documentBase(object), Pass::Rescan);
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
