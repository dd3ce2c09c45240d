#pragma once
#include <windows.h>
#include <filter.h>

#include <string>

// An IFilter over a fixed little document that breaks one rule of the
// interface on demand, for the conformance procedure to find. The document:
// chunk 1 the title (a value), chunk 2 a text, chunk 3 a value taken from
// chunk 2, chunk 4 a text. Given attributes without the title, it leaves the
// title out.
class CFaultyFilter final : public IFilter {
public:
    enum class Fault {
        None,
        InitFails,             // Init answers E_FAIL
        RepeatedId,            // chunk 3 is numbered 2 again
        NoKind,                // chunk 4 is neither text nor value
        UnknownBreak,          // chunk 2's break type is 7
        SourceNotSeen,         // chunk 3 names chunk 4, not yet given, as its source
        EndIsFailure,          // GetChunk ends with E_FAIL, not FILTER_E_END_OF_CHUNKS
        TextFails,             // GetText on chunk 4 answers E_FAIL
        CountTooLarge,         // GetText claims one character more than a full buffer holds
        WritesPastBuffer,      // GetText writes one character past a full buffer
        TextEndChanges,        // after FILTER_E_NO_MORE_TEXT, GetText answers FILTER_E_NO_TEXT
        ValueEndChanges,       // the 3rd GetValue answers FILTER_E_NO_VALUES
        UnknownValueType,      // chunk 3's value is of type VT_VOID
        SmallBufferLosesText,  // GetText with a buffer under 3 characters drops one
        ChangesOnInit,         // every Init after the first gives chunk 2 another locale
        WrongCallAnswers,      // GetValue on text answers FILTER_E_NO_MORE_VALUES, GetText on a value FILTER_E_NO_MORE_TEXT
        WrongCallSpoilsText,   // GetValue on a text chunk skips the chunk's text
        EndOfChunksChanges,    // GetChunk after FILTER_E_END_OF_CHUNKS answers E_FAIL
        DiffersWithCompany,    // a text differs when another object is alive at Init
        ValueChangesOnInit,    // every Init after the first gives chunk 3 another value
        DropsLastChunk,        // no chunk 4 after a later Init, or when another object is alive at Init
    };

    explicit CFaultyFilter(Fault fault);
    CFaultyFilter(const CFaultyFilter&) = delete;
    CFaultyFilter& operator=(const CFaultyFilter&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Init(ULONG grfFlags, ULONG cAttributes, const FULLPROPSPEC* aAttributes, ULONG* pFlags) override;
    STDMETHODIMP GetChunk(STAT_CHUNK* pStat) override;
    STDMETHODIMP GetText(ULONG* pcwcBuffer, WCHAR* awcBuffer) override;
    STDMETHODIMP GetValue(PROPVARIANT** ppPropValue) override;
    STDMETHODIMP BindRegion(FILTERREGION origPos, REFIID riid, void** ppunk) override;

private:
    ~CFaultyFilter();

    struct Chunk {
        ULONG id;
        ULONG flags;
        CHUNK_BREAKTYPE breakType;
        ULONG source;
        std::wstring text;   // a text chunk's text, or a value chunk's string
    };
    static const size_t kChunks = 4;

    LONG m_refCount = 1;
    Fault m_fault;
    unsigned m_inits = 0;
    bool m_company = false;
    size_t m_chunks = kChunks;  // chunks this reading gives
    bool m_titleAsked = true;
    size_t m_next = 0;          // chunks given since Init
    bool m_ended = false;       // FILTER_E_END_OF_CHUNKS given
    size_t m_textOffset = 0;
    bool m_textEnded = false;
    unsigned m_valueCalls = 0;

    Chunk ChunkAt(size_t index) const;
};
