#include "bench/support/many_desktops.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/bench_desk.h"
#include "platform/ado/connection.h"
#include "platform/services/dialogs.h"
#include "platform/services/scripted_dialogs.h"
#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "shell/modmg_quendormixal.h"

namespace qmx::bench {

namespace svc = kv::services;
using kv::Variant;

namespace {

// A point in time every process of the machine reads alike, in nanoseconds.
int64_t Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string Literal(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return "NULL";
    if (const auto* d = v.TryGet<kv::Date>()) return std::string(1, '\'').append(d->ToYmd()).append(1, '\'');
    if (v.IsString())
        return std::string(1, '\'').append(qmx::RaddoppiaApici(kv::RTrim(v.StringValue()))).append(1, '\'');
    return kv::CStr(qmx::SqlNumero(v));
}

// Copies the rows of `table` that belong to article `from` of company `company` to article `to`.
void CopyArticleRows(kv::ado::Connection& c, const std::string& table, const std::string& company_column,
                     const std::string& article_column, int company, const std::string& from, const std::string& to) {
    auto rs = c.Execute("SELECT * FROM " + table + " WHERE " + company_column + " = " + std::to_string(company) +
                        " AND " + article_column + " = '" + from + "'");
    const int n = rs->GetFields().Count();
    std::string columns;
    for (int i = 0; i < n; ++i) columns += (i ? ", " : "") + rs->GetFields()[i].Name();
    for (; !rs->IsEOF(); rs->MoveNext()) {
        std::string values;
        for (int i = 0; i < n; ++i) {
            const bool article = kv::EqualsNoCase(rs->GetFields()[i].Name(), article_column);
            values += (i ? ", " : "") + (article ? "'" + to + "'" : Literal(rs->Value(i)));
        }
        c.Execute("INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")");
    }
}

// What a desktop works on: its company, article and, for grid type 2, the sizes it picks from.
struct Work {
    int company;
    std::string article;
    bool size;
};

std::string OwnArticle(int d) {
    char code[16];
    std::snprintf(code, sizeof code, "SCD%03d", d);
    return code;
}

// Three desktops in five have an article of their own (a copy of SCI001); the others share SCI001
// (company 1, grid type 1) or SCA100 (company 2, grid type 2, a size picked each time).
Work WorkOf(int d) {
    switch (d % 5) {
        case 3: return {demo::kDittaAbbigliamento, demo::kArticoloTipo1, false};
        case 4: return {demo::kDittaCalzature, demo::kArticoloTipo2, true};
        default: return {demo::kDittaAbbigliamento, OwnArticle(d), false};
    }
}

// A desktop's user: answers the conflict question "reload the rows saved by the other desktop" (and
// then saves what is left, pressing "Conferma" again), goes on past an overlap warning, and counts
// anything else as unexpected.
class DesktopUser : public svc::MessageService {
public:
    int Message(const std::string& text, int style, const std::string& title) override {
        if (text.find("altro utente") != std::string::npos) {
            ++conflicts;
            return svc::answer::kYes;
        }
        if (title.find("A T T E N Z I O N E") != std::string::npos) return svc::answer::kYes;
        ++unexpected;
        last = title + ": " + text;
        return svc::ScriptedMessageService::DefaultButtonAnswer(style);
    }
    long conflicts = 0;
    long unexpected = 0;
    std::string last;
};

std::string CentsText(long long cents) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld,%02lld", cents / 100, cents % 100);
    return text;
}

long long CentsOf(const Variant& v) { return std::llround(kv::CDbl(v) * 100.0); }

std::string DayText(const Variant& v) {
    if (const auto* d = v.TryGet<kv::Date>()) return d->ToYmd();
    return kv::CStr(v);
}

// One desktop's run, in its own process: the lines it writes to `out` say what each save wrote.
//   P ms                                 a "Conferma" press and its time
//   S start end                          a save (monotonic ns) ...
//   W company|article|option|list|from|to<TAB>cents   ... and each price it wrote
//   C conflicts U unexpected [text]      at the end
void DesktopMain(int d, const DesktopsOptions& o, const std::string& connection, int ready_fd, int go_fd,
                 const std::string& out_path) {
    std::ofstream out(out_path);
    auto user = std::make_shared<DesktopUser>();
    const Work work = WorkOf(d);
    std::mt19937 random(o.seed * 7919u + static_cast<unsigned>(d));
    std::string failure;
    try {
        BenchDesk desk(work.company, connection, kv::Date::FromYmd(2026, 6, 15), user);
        auto& w = desk.Window();
        if (write(ready_fd, "r", 1) != 1) throw std::runtime_error("pipe");
        char go = 0;
        if (read(go_fd, &go, 1) != 1) throw std::runtime_error("pipe");
        const int64_t deadline = Now() + static_cast<int64_t>(o.seconds) * 1000000000;
        const std::size_t errors0 = desk.Errors();
        for (long iteration = 0; Now() < deadline; ++iteration) {
            if (iteration > 0) desk.Click("Nuovo");
            desk.Type(*w.TXT_CODART, work.article);
            desk.Type(*w.TXT_DADATA_ACQ, "01/01/2025");
            desk.Type(*w.TXT_ADATA_ACQ, "31/12/2025");
            desk.Type(*w.TXT_DADATA_VEN, "01/01/2025");
            desk.Type(*w.TXT_ADATA_VEN, "31/12/2025");
            if (work.size) desk.Type(*w.TXT_VARIANTE, std::to_string(36 + static_cast<int>(random() % 11)));
            auto& grid = *w.GRD_LISACQ;
            std::vector<long> rows(static_cast<std::size_t>(grid.RowCount()));
            for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<long>(i);
            std::shuffle(rows.begin(), rows.end(), random);
            rows.resize(std::min<std::size_t>(rows.size(), 10));
            std::vector<long long> typed;
            for (std::size_t k = 0; k < rows.size(); ++k) {
                // A price no other desktop, round or cell types: where it is found, who saved it is known.
                const long long cents = ((static_cast<long long>(d) + 1) * 100000 + iteration) * 10 + static_cast<long long>(k);
                desk.Edit(grid, rows[k], "LI10_PREZZO", CentsText(cents));
                typed.push_back(cents);
                if (o.think_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(o.think_ms));
            }
            int64_t start = 0, end = 0;
            for (int press = 0; press < 4 && w.State().changes_pending; ++press) {
                start = Now();
                desk.Click("Conferma");
                end = Now();
                out << "P " << static_cast<double>(end - start) / 1e6 << '\n';
            }
            if (w.State().changes_pending) {
                // Saved over and over by others meanwhile: this round's prices are given up.
                ++user->unexpected;
                user->last = "prezzi non salvati dopo 4 conferme";
                desk.Click("Annulla");
                continue;
            }
            out << "S " << start << ' ' << end << '\n';
            // The cells still holding what was typed are the ones this save wrote; a row reloaded
            // after a conflict holds the other desktop's price.
            auto matrix = w.VariantiAcquisto()->Recordset();
            const long price_column = grid.Columns().IndexOf("LI10_PREZZO");
            for (std::size_t k = 0; k < rows.size(); ++k) {
                grid.UserMoveTo(rows[k], price_column);
                if (CentsOf(matrix->Value("LI10_PREZZO")) != typed[k]) continue;
                out << "W " << work.company << '|' << work.article << '|' << kv::RTrim(kv::CStr(matrix->Value("LI10_OPZIONE_MG5E")))
                    << '|' << kv::CStr(matrix->Value("LI10_NUMLIST")) << '|' << DayText(matrix->Value("LI10_DATAINIZIOVAL"))
                    << '|' << DayText(matrix->Value("LI10_DATAFINEVAL")) << '\t' << typed[k] << '\n';
            }
        }
        if (desk.Errors() > errors0) {
            user->unexpected += static_cast<long>(desk.Errors() - errors0);
            user->last = desk.LastError();
        }
    } catch (const std::exception& e) {
        failure = e.what();
    }
    out << "C " << user->conflicts << " U " << user->unexpected + (failure.empty() ? 0 : 1) << ' '
        << (failure.empty() ? user->last : failure) << '\n';
}

struct Write {
    int64_t start, end;
    long long cents;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

bool LocalServer(const std::string& connection) {
    std::string host;
    std::istringstream parts(connection);
    for (std::string part; std::getline(parts, part, ';');) {
        const auto eq = part.find('=');
        if (eq != std::string::npos && kv::EqualsNoCase(kv::Trim(part.substr(0, eq)), "Host"))
            host = kv::Trim(part.substr(eq + 1));
    }
    return host.empty() || host == "127.0.0.1" || host == "localhost" || host == "::1" || host.front() == '/';
}

DesktopsResult RunDesktops(const DesktopsOptions& o) {
    DesktopsResult r;
    if (!LocalServer(o.connection)) {
        r.problem = "il server PostgreSQL non è su questa macchina: la prova di carico non parte";
        return r;
    }
    const int seconds = std::clamp(o.seconds, 1, kMaxSeconds);
    const int desktops = std::clamp(o.desktops, 1, 90);  // the server's 100 connections, less a margin
    const std::string schema = "kvd_" + std::to_string(::getpid());
    auto admin = kv::ado::Connection::Create();
    admin->Open(o.connection);
    admin->Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    admin->Execute("CREATE SCHEMA " + schema);
    const std::string connection = o.connection + ";Schema=" + schema;
    const auto folder = std::filesystem::temp_directory_path() / ("qmx_desktops_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        kv::ado::Connection c;
        c.Open(connection);
        demo::CreateSchema(c);
        demo::BuildDemo(c);
        for (int d = 0; d < desktops; ++d) {
            if (WorkOf(d).article != OwnArticle(d)) continue;
            const int company = demo::kDittaAbbigliamento;
            CopyArticleRows(c, "MG66_ANAGRART", "MG66_DITTA_CG18", "MG66_CODART", company, demo::kArticoloTipo1, OwnArticle(d));
            CopyArticleRows(c, "MG87_DESCRART", "MG87_DITTA_CG18", "MG87_CODART_MG66", company, demo::kArticoloTipo1, OwnArticle(d));
            CopyArticleRows(c, "MG6B_GESVARART", "MG6B_DITTA_CG18", "MG6B_CODART_MG66", company, demo::kArticoloTipo1, OwnArticle(d));
            CopyArticleRows(c, "LI10_LISTARTIC", "LI10_DITTA_CG18", "LI10_CODART_MG66", company, demo::kArticoloTipo1, OwnArticle(d));
        }
        c.Execute("ANALYZE");
    }

    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) {
        r.problem = "pipe";
        return r;
    }
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (int d = 0; d < desktops; ++d) {
        const pid_t pid = fork();
        if (pid == 0) {
            // The desktop's own process: nothing of the parent's (its connections among them) is used
            // or closed here, and it ends without running the parent's destructors.
            close(ready[0]);
            close(go[1]);
            DesktopMain(d, o, connection, ready[1], go[0], (folder / ("d" + std::to_string(d))).string());
            _exit(0);
        }
        if (pid > 0) children.push_back(pid);
    }
    close(ready[1]);
    close(go[0]);
    // Every desktop opens its window before the clock starts.
    int started = 0;
    const int64_t open_deadline = Now() + 180ll * 1000000000;
    while (started < static_cast<int>(children.size()) && Now() < open_deadline) {
        pollfd p{ready[0], POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) continue;
        char c;
        const ssize_t n = read(ready[0], &c, 1);
        if (n <= 0) break;
        ++started;
    }
    const int64_t t0 = Now();
    std::string go_bytes(children.size(), 'g');
    if (write(go[1], go_bytes.data(), go_bytes.size()) != static_cast<ssize_t>(go_bytes.size())) r.problem = "pipe";
    close(go[1]);
    // Bounded: a desktop still at work a minute after its time is ended.
    const int64_t hard_stop = t0 + (static_cast<int64_t>(seconds) + 60) * 1000000000;
    std::size_t finished = 0;
    std::vector<bool> done(children.size(), false);
    while (finished < children.size()) {
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (done[i]) continue;
            int status = 0;
            if (waitpid(children[i], &status, WNOHANG) == children[i]) {
                done[i] = true;
                ++finished;
            }
        }
        if (finished < children.size() && Now() > hard_stop) {
            for (std::size_t i = 0; i < children.size(); ++i)
                if (!done[i]) kill(children[i], SIGKILL);
            r.problem = "desktop ancora al lavoro un minuto dopo la fine: fermato";
            for (std::size_t i = 0; i < children.size(); ++i)
                if (!done[i]) waitpid(children[i], nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    r.seconds = static_cast<double>(Now() - t0) / 1e9;
    close(ready[0]);
    if (started < desktops && r.problem.empty()) r.problem = std::to_string(desktops - started) + " desktop non partiti";

    // What the desktops say they saved.
    std::vector<double> presses;
    std::map<std::string, std::vector<Write>> writes;
    for (int d = 0; d < desktops; ++d) {
        std::ifstream in(folder / ("d" + std::to_string(d)));
        int64_t start = 0, end = 0;
        for (std::string line; std::getline(in, line);) {
            std::istringstream f(line);
            std::string tag;
            f >> tag;
            if (tag == "P") {
                double ms = 0;
                f >> ms;
                presses.push_back(ms);
            } else if (tag == "S") {
                f >> start >> end;
                ++r.saves;
            } else if (tag == "W") {
                // The key holds blanks (an option code's empty segments); the price follows a tab.
                const auto tab = line.rfind('\t');
                const std::string key = line.substr(2, tab - 2);
                const long long cents = std::stoll(line.substr(tab + 1));
                writes[key].push_back({start, end, cents});
                ++r.prices;
            } else if (tag == "C") {
                long conflicts = 0, unexpected = 0;
                std::string u;
                f >> conflicts >> u >> unexpected;
                r.conflicts += conflicts;
                r.unexpected += unexpected;
                std::string text;
                std::getline(f, text);
                if (unexpected > 0)
                    std::fprintf(stderr, "desktop %d: %ld imprevisti, l'ultimo:%s\n", d, unexpected, text.c_str());
            }
        }
    }
    // QMX_KEEP=1 keeps each desktop's account of its saves (for looking into a failed check).
    if (!std::getenv("QMX_KEEP")) std::filesystem::remove_all(folder);
    r.presses = static_cast<long>(presses.size());
    r.median_ms = Percentile(presses, 0.5);
    r.p95_ms = Percentile(presses, 0.95);
    r.slowest_ms = Percentile(presses, 1.0);
    r.keys = static_cast<long>(writes.size());

    // The final check: each key written is stored once, with a price a save wrote that no later save
    // of the key replaced.
    {
        kv::ado::Connection c;
        c.Open(connection);
        auto rs = c.Execute(
            "SELECT LI10_DITTA_CG18, LI10_CODART_MG66, LI10_OPZIONE_MG5E, LI10_NUMLIST, LI10_DATAINIZIOVAL, "
            "LI10_DATAFINEVAL, LI10_PREZZO FROM LI10_LISTARTIC WHERE LI10_FLGVENDACQ = 1 AND LI10_DEPOS_MG58 = ''");
        std::map<std::string, std::vector<long long>> stored;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const std::string key = kv::CStr(rs->Value(0)) + '|' + kv::RTrim(kv::CStr(rs->Value(1))) + '|' +
                                    kv::RTrim(kv::CStr(rs->Value(2))) + '|' + kv::CStr(rs->Value(3)) + '|' +
                                    DayText(rs->Value(4)) + '|' + DayText(rs->Value(5));
            stored[key].push_back(CentsOf(rs->Value(6)));
        }
        for (const auto& [key, ws] : writes) {
            const auto it = stored.find(key);
            if (it == stored.end() || it->second.size() != 1) {
                if (it != stored.end()) ++r.duplicates;
                else ++r.lost;
                continue;
            }
            const long long price = it->second.front();
            // The stored price must come from a save that no other save of the key began after.
            bool last = false;
            for (const Write& w : ws) {
                if (w.cents != price) continue;
                last = std::none_of(ws.begin(), ws.end(), [&](const Write& o2) { return o2.start > w.end; });
            }
            if (!last) ++r.lost;
        }
    }
    admin->Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    r.ran = true;
    return r;
}

}  // namespace qmx::bench
