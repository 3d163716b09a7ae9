// Opening a log in Kreslo's window: workers parse the file in pieces, the
// window takes each piece on its own thread (the chart's data is only ever
// touched there) and draws what it has so far.
#include "viewer/app/chart_window.h"

#include "framework/text.h"
#include "framework/win_app.h"

#include <algorithm>
#include <new>

namespace {

// Pieces on their way to the window at once: bounds the memory they hold
// when the window is slower than the workers.
const LONG kPiecesInFlight = 8;
// While a file is read, the chart is drawn again at most this often.
const ULONGLONG kLoadPaintMs = 250;

int ProcessorCount() {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    return static_cast<int>(std::max<DWORD>(1, std::min<DWORD>(si.dwNumberOfProcessors, 8)));
}

}  // namespace

void CChartWindow::OpenFile(const std::wstring& path) { OpenFiles({path}); }

void CChartWindow::OpenFiles(const std::vector<std::wstring>& paths) {
    StopLoading();
    m_pLoading.reset(new CChartDocument(paths, m_zone));
    m_loadPaths = paths;
    m_loadFiles.clear();
    m_bLoadRead = false;
    m_strLoadFailed.clear();
    m_nProgress = 0;
    m_bAbort = false;
    m_bPieceFailed = false;
    m_bCursorA = m_bCursorB = false;
    m_pieceSlots.Attach(CreateSemaphoreW(nullptr, kPiecesInFlight, kPiecesInFlight, nullptr));
    if (!m_pieceSlots.IsValid() || !m_loader.Start([this] { return RunLoader(); }, THREAD_PRIORITY_BELOW_NORMAL)) {
        // No thread: read here, the window waits this once.
        CChartDocument::Result r;
        try {
            r = m_pLoading->ReadMore(~0ull, nullptr);
        } catch (const std::bad_alloc&) {
            r = CChartDocument::kNoMemory;
        }
        OnLoaded(static_cast<WPARAM>(r), 1);
        return;
    }
    UpdateTitle();
    UpdateStatus();
    Invalidate();
}

// A series' files one after another; the first that cannot be read ends it.
// A summary found beside the first stands for what it covers: reading goes
// on where it stopped.
UINT CChartWindow::RunLoader() {
    CChartWindow* self = this;
    CChartDocument::Result r = CChartDocument::kNothingNew;
    try {
        std::vector<KvfParallelResult> files(m_loadPaths.size());
        std::size_t i = 0;
        std::uint64_t from = 0;
        std::unique_ptr<ChartSummary> summary(new ChartSummary);
        if (CChartDocument::FindSummary(m_loadPaths, m_zone, summary.get())) {
            const std::size_t n = summary->files.size();
            for (std::size_t k = 0; k < n; ++k) {
                files[k].records = summary->files[k].records;
                files[k].damaged = summary->files[k].damaged;
                files[k].end = summary->files[k].size;
            }
            i = n - 1;
            from = files[i].end;
            if (PostMessageW(m_hWnd, WM_KRESLO_SUMMARY, 0, reinterpret_cast<LPARAM>(summary.get())))
                summary.release();
            else
                files.assign(files.size(), KvfParallelResult()), i = 0, from = 0;
        }
        std::size_t failed = m_loadPaths.size();
        const std::vector<KvfParallelResult> restored = files;
        r = CChartDocument::ReadFiles(m_loadPaths, i, from,
                                      self->m_nLoaderThreads > 0 ? self->m_nLoaderThreads : ProcessorCount(),
                                      [self](KvfPiece& piece) { self->HandOver(piece); }, &self->m_bAbort, &files,
                                      &failed, &self->m_dwLoadError);
        if (failed < m_loadPaths.size())
            m_strLoadFailed = m_loadPaths[failed];
        m_bLoadRead = r == CChartDocument::kRead;
        // The summary's figures count in for the file it read in part.
        if (failed != i) {
            files[i].records += restored[i].records;
            files[i].damaged += restored[i].damaged;
        }
        m_loadFiles = files;
    } catch (const std::exception&) {
        r = CChartDocument::kNoMemory;  // told in the window; the program goes on
    }
    PostMessageW(self->m_hWnd, WM_KRESLO_LOADED, static_cast<WPARAM>(r), 0);
    return 0;
}

void CChartWindow::HandOver(KvfPiece& piece) {
    while (WaitForSingleObject(m_pieceSlots.Get(), 50) == WAIT_TIMEOUT)
        if (m_bAbort)
            return;
    KvfPiece* posted = new KvfPiece(std::move(piece));
    if (!PostMessageW(m_hWnd, WM_KRESLO_PIECE, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
        ReleaseSemaphore(m_pieceSlots.Get(), 1, nullptr);
    }
}

CChartDocument* CChartWindow::LoadingDocument() const {
    if (m_pLoading)
        return m_pLoading.get();
    return m_loader.IsStarted() && m_bLoadShown ? m_pDoc.get() : nullptr;
}

void CChartWindow::StopLoading() {
    if (!m_loader.IsStarted())
        return;
    m_bAbort = true;
    m_loader.Join();  // ends within one piece
    m_pLoading.reset();
    if (m_bLoadShown)
        m_pDoc.reset();  // read in part: it cannot be followed
    m_bLoadShown = false;
    if (m_hWnd != nullptr) {
        // Its last messages are about a document that is gone.
        MSG msg;
        while (PeekMessageW(&msg, m_hWnd, WM_KRESLO_PROGRESS, WM_KRESLO_SUMMARY, PM_REMOVE)) {
            if (msg.message == WM_KRESLO_PIECE)
                delete reinterpret_cast<KvfPiece*>(msg.lParam);
            else if (msg.message == WM_KRESLO_SUMMARY)
                delete reinterpret_cast<ChartSummary*>(msg.lParam);
        }
    }
    m_pieceSlots.Close();
}

LRESULT CChartWindow::OnProgress(WPARAM wParam, LPARAM) {
    if (!m_loader.IsStarted())
        return 0;
    // Only the text changes: a dozen posts a second at most reach the screen.
    if (static_cast<int>(wParam) / 10 != m_nProgress / 10) {
        m_nProgress = static_cast<int>(wParam);
        UpdateStatus();
        Invalidate();
    }
    return 0;
}

LRESULT CChartWindow::OnPiece(WPARAM, LPARAM lParam) {
    std::unique_ptr<KvfPiece> piece(reinterpret_cast<KvfPiece*>(lParam));
    ReleaseSemaphore(m_pieceSlots.Get(), 1, nullptr);
    CChartDocument* doc = LoadingDocument();
    if (doc == nullptr || m_bPieceFailed)
        return 0;
    try {
        doc->TakePiece(*piece);
    } catch (const std::bad_alloc&) {
        m_bPieceFailed = true;  // the worker stops; WM_KRESLO_LOADED tells it
        m_bAbort = true;
        return 0;
    }
    ShowLoading(doc);
    return 0;
}

LRESULT CChartWindow::OnSummary(WPARAM, LPARAM lParam) {
    std::unique_ptr<ChartSummary> summary(reinterpret_cast<ChartSummary*>(lParam));
    CChartDocument* doc = LoadingDocument();
    if (doc == nullptr || m_bPieceFailed)
        return 0;
    bool taken = false;
    try {
        taken = doc->TakeSummary(*summary);
    } catch (const std::bad_alloc&) {
    }
    if (!taken) {
        // Found sound by the worker, so only memory can fail here.
        m_bPieceFailed = true;
        m_bAbort = true;
        return 0;
    }
    ShowLoading(doc);
    return 0;
}

void CChartWindow::ShowLoading(CChartDocument* doc) {
    if (m_pLoading && m_pLoading->Data().Size() > 0) {
        // The first samples: this chart now replaces the one shown.
        m_pDoc = std::move(m_pLoading);
        m_bLoadShown = true;
        m_bHover = false;
        FitAll();
        UpdateTitle();
    }
    const std::uint64_t total = doc->FileSize();
    m_nProgress = total > 0 ? static_cast<int>(std::min<std::uint64_t>(1000, doc->BytesTaken() * 1000 / total)) : 0;
    const ULONGLONG now = GetTickCount64();
    if (now - m_nLastLoadPaint >= kLoadPaintMs) {
        m_nLastLoadPaint = now;
        // The view grows with the file until the user moves it; fitting the
        // values looks at all the file read so far, so only when it is drawn.
        if (m_bLoadShown && IsFitted())
            FitAll();
        UpdateStatus();
        Invalidate();
    }
}

bool CChartWindow::IsFitted() const {
    return m_view.t0 == m_fitted.t0 && m_view.t1 == m_fitted.t1 && m_view.v0 == m_fitted.v0 &&
           m_view.v1 == m_fitted.v1;
}

LRESULT CChartWindow::OnLoaded(WPARAM wParam, LPARAM lParam) {
    m_loader.Join();
    m_pieceSlots.Close();
    // The user moved the view while the file came in: it stays.
    const bool keepView = m_bLoadShown && !IsFitted();
    std::unique_ptr<CChartDocument> doc = std::move(m_pLoading);
    if (!doc && m_bLoadShown)
        doc = std::move(m_pDoc);
    m_bLoadShown = false;
    if (!doc)
        return 0;
    CChartDocument::Result r = m_bPieceFailed ? CChartDocument::kNoMemory : static_cast<CChartDocument::Result>(wParam);
    // lParam 1: read by ReadMore here. An empty last file of a series still ends its reading.
    const bool bRead = lParam == 0 && (r == CChartDocument::kRead || r == CChartDocument::kNothingNew);
    if (bRead) {
        try {
            doc->Loaded(m_loadFiles);
            if (m_bLoadRead && doc->FileSize() >= m_nSummaryBytes)
                doc->SaveSummary();  // the next opening need not read it all
        } catch (const std::bad_alloc&) {
            r = CChartDocument::kNoMemory;
        }
    }
    const std::wstring& failed = m_strLoadFailed.empty() ? doc->Path() : m_strLoadFailed;
    const std::string name = FileTitle1250(failed);
    m_lastResult = r;
    if (r == CChartDocument::kOpenFailed || r == CChartDocument::kForeign || r == CChartDocument::kNoMemory) {
        const std::string path = afx::Narrow1250(failed);
        doc.reset();  // whatever was read of it goes, and its memory with it
        UpdateTitle();
        UpdateStatus();
        Invalidate();
        if (r == CChartDocument::kOpenFailed)
            AfxMessageBox("Nie mo\xBFna otworzy\xE6 pliku " + path + ".", MB_ICONEXCLAMATION);
        else if (r == CChartDocument::kForeign)
            AfxMessageBox("Plik " + name + " nie jest plikiem rejestracji binarnej (.kvf).", MB_ICONEXCLAMATION);
        else
            AfxMessageBox("Za ma\xB3o pami\xEA" "ci, by wczyta\xE6 plik " + name + ".", MB_ICONEXCLAMATION);
        return 0;
    }
    m_pDoc = std::move(doc);
    if (!keepView)
        FitAll();
    UpdateTitle();
    UpdateStatus();
    Invalidate();
    return 0;
}
