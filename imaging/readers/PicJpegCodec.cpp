// The JPEG library's headers must see this system's own conventions, not the
// Windows macros that the rest of the program is compiled with.
#undef _WIN32
#undef _WIN64
#undef WIN32
#undef WIN64
#undef __WIN32__
#undef __WIN64__
#include "imaging/readers/PicJpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/readers/PicIO.h"
#include "framework/base/WipedMemory.h"

namespace {
constexpr uint32_t kSourceBufferSize = 4096;
}

// The JPEG library takes all its working memory (coefficient blocks, sample
// rows, Huffman tables, the memory manager itself) from these four
// functions of its system-dependent memory layer, and gives every block back
// with its size. Defined here they stand in for the library's own (its calls
// go through the dynamic linker, which looks in this program first), so a
// decoded picture's pieces are wiped before the heap gets them back. Should
// the library ever resolve them to its own, both are plain malloc and free
// and mixing them stays sound.
extern "C" {
__attribute__((visibility("default"))) void* jpeg_get_small(j_common_ptr, size_t size) {
    return WipedAlloc(size);
}
__attribute__((visibility("default"))) void jpeg_free_small(j_common_ptr, void* block, size_t size) {
    WipedFree(block, size);
}
__attribute__((visibility("default"))) void* jpeg_get_large(j_common_ptr, size_t size) {
    return WipedAlloc(size);
}
__attribute__((visibility("default"))) void jpeg_free_large(j_common_ptr, void* block, size_t size) {
    WipedFree(block, size);
}
}

struct CPicJpegCodec::State {
    jpeg_decompress_struct decompress;
    jpeg_error_mgr errors;
    jmp_buf jump;
    bool created = false;
    std::string message;

    struct Source {
        jpeg_source_mgr manager;
        CPicIO* io;
        bool seekBack;
        bool startOfFile;
        bool prematureEnd;
        JOCTET buffer[kSourceBufferSize];
    } source;

    static State& Of(j_common_ptr info) { return *static_cast<State*>(info->client_data); }
    static State& Of(j_decompress_ptr info) { return *static_cast<State*>(info->client_data); }

    static void ErrorExit(j_common_ptr info) {
        State& state = Of(info);
        char text[JMSG_LENGTH_MAX];
        (*info->err->format_message)(info, text);
        state.message = text;
        longjmp(state.jump, 1);
    }
    static void OutputMessage(j_common_ptr) {}

    static void InitSource(j_decompress_ptr info) { Of(info).source.startOfFile = true; }
    static boolean FillInput(j_decompress_ptr info) {
        Source& s = Of(info).source;
        uint32_t got = s.io->Read(s.buffer, kSourceBufferSize);
        if (got == 0) {
            if (s.startOfFile) ERREXIT(info, JERR_INPUT_EMPTY);
            WARNMS(info, JWRN_JPEG_EOF);
            s.prematureEnd = true;
            s.buffer[0] = 0xFF;
            s.buffer[1] = JPEG_EOI;
            got = 2;
        }
        s.manager.next_input_byte = s.buffer;
        s.manager.bytes_in_buffer = got;
        s.startOfFile = false;
        return TRUE;
    }
    static void SkipInput(j_decompress_ptr info, long count) {
        Source& s = Of(info).source;
        if (count <= 0) return;
        while (count > (long)s.manager.bytes_in_buffer) {
            count -= (long)s.manager.bytes_in_buffer;
            FillInput(info);
        }
        s.manager.next_input_byte += count;
        s.manager.bytes_in_buffer -= count;
    }
    static void TermSource(j_decompress_ptr info) {
        Source& s = Of(info).source;
        if (s.seekBack && s.manager.bytes_in_buffer > 0 && !s.prematureEnd)
            s.io->Seek(-(int64_t)s.manager.bytes_in_buffer, 1);
    }
};

// Runs a call into the library: false when it raised an error.
#define PIC_JPEG_GUARDED(state, call)          \
    do {                                       \
        if (setjmp((state).jump) != 0) return false; \
        call;                                  \
    } while (0)

CPicJpegCodec::CPicJpegCodec(CPicIO& io, bool seekBack) : m_state(new (std::nothrow) State) {
    if (!m_state) return;
    State& state = *m_state;
    memset(&state.decompress, 0, sizeof state.decompress);
    state.decompress.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = &State::ErrorExit;
    state.errors.output_message = &State::OutputMessage;
    state.decompress.client_data = &state;
    if (setjmp(state.jump) != 0) return;
    jpeg_create_decompress(&state.decompress);
    state.created = true;
    State::Source& s = state.source;
    s.io = &io;
    s.seekBack = seekBack;
    s.startOfFile = true;
    s.prematureEnd = false;
    s.manager.init_source = &State::InitSource;
    s.manager.fill_input_buffer = &State::FillInput;
    s.manager.skip_input_data = &State::SkipInput;
    s.manager.resync_to_restart = jpeg_resync_to_restart;
    s.manager.term_source = &State::TermSource;
    s.manager.bytes_in_buffer = 0;
    s.manager.next_input_byte = nullptr;
    state.decompress.src = &s.manager;
}

CPicJpegCodec::~CPicJpegCodec() {
    if (!m_state) return;
    if (m_state->created) jpeg_destroy_decompress(&m_state->decompress);
    // The last bytes read from the source: an encrypted picture's plain bytes.
    WipeBytes(m_state->source.buffer, sizeof m_state->source.buffer);
}

bool CPicJpegCodec::Created() const { return m_state && m_state->created; }

bool CPicJpegCodec::KeepMarkers() {
    State& state = *m_state;
    PIC_JPEG_GUARDED(state, {
        jpeg_save_markers(&state.decompress, JPEG_COM, 0xFFFF);
        for (int m = 1; m <= 14; ++m) jpeg_save_markers(&state.decompress, JPEG_APP0 + m, 0xFFFF);
    });
    return true;
}

void CPicJpegCodec::Markers(const std::function<void(int, const uint8_t*, uint32_t)>& visit) const {
    for (jpeg_saved_marker_ptr m = m_state->decompress.marker_list; m != nullptr; m = m->next)
        visit(m->marker, m->data, m->data_length);
}

bool CPicJpegCodec::ReadHeader(CPicJpegHeader& header) {
    State& state = *m_state;
    jpeg_decompress_struct& d = state.decompress;
    PIC_JPEG_GUARDED(state, jpeg_read_header(&d, TRUE));
    header.width = d.image_width;
    header.height = d.image_height;
    // The default output colour space after the header: grey, RGB or CMYK.
    header.components = d.out_color_space == JCS_GRAYSCALE ? 1 : d.out_color_space == JCS_CMYK ? 4 : 3;
    switch (d.jpeg_color_space) {
    case JCS_GRAYSCALE: header.colourSpace = 1; break;
    case JCS_RGB: header.colourSpace = 2; break;
    case JCS_YCbCr: header.colourSpace = 3; break;
    case JCS_CMYK: header.colourSpace = 4; break;
    case JCS_YCCK: header.colourSpace = 5; break;
    default: header.colourSpace = 0; break;
    }
    header.progressive = d.progressive_mode != 0;
    header.arithmetic = d.arith_code != 0;
    header.xDensity = d.X_density;
    header.yDensity = d.Y_density;
    header.densityUnit = d.density_unit;
    return true;
}

bool CPicJpegCodec::Start(int scaleNumerator, int scaleDenominator, bool keepYCbCr, bool bufferedImage) {
    State& state = *m_state;
    jpeg_decompress_struct& d = state.decompress;
    d.scale_num = (unsigned)scaleNumerator;
    d.scale_denom = (unsigned)scaleDenominator;
    if (keepYCbCr) d.out_color_space = JCS_YCbCr;
    d.buffered_image = bufferedImage ? TRUE : FALSE;
    PIC_JPEG_GUARDED(state, {
        jpeg_calc_output_dimensions(&d);
        jpeg_start_decompress(&d);
    });
    return true;
}

uint32_t CPicJpegCodec::OutputWidth() const { return m_state->decompress.output_width; }
uint32_t CPicJpegCodec::OutputHeight() const { return m_state->decompress.output_height; }
int CPicJpegCodec::OutputComponents() const { return m_state->decompress.output_components; }
uint32_t CPicJpegCodec::OutputScanline() const { return m_state->decompress.output_scanline; }
bool CPicJpegCodec::InputComplete() const { return jpeg_input_complete(&m_state->decompress) != 0; }
int CPicJpegCodec::InputScanNumber() const { return m_state->decompress.input_scan_number; }
bool CPicJpegCodec::PrematureEnd() const { return m_state->source.prematureEnd; }
const std::string& CPicJpegCodec::LastMessage() const { return m_state->message; }

bool CPicJpegCodec::ReadRow(uint8_t* row) {
    State& state = *m_state;
    JSAMPROW rows[1] = {row};
    PIC_JPEG_GUARDED(state, jpeg_read_scanlines(&state.decompress, rows, 1));
    return true;
}

bool CPicJpegCodec::StartPass() {
    State& state = *m_state;
    PIC_JPEG_GUARDED(state, jpeg_start_output(&state.decompress, state.decompress.input_scan_number));
    return true;
}

bool CPicJpegCodec::FinishPass() {
    State& state = *m_state;
    PIC_JPEG_GUARDED(state, jpeg_finish_output(&state.decompress));
    return true;
}

bool CPicJpegCodec::Finish() {
    State& state = *m_state;
    PIC_JPEG_GUARDED(state, jpeg_finish_decompress(&state.decompress));
    return true;
}
