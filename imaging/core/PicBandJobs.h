// Helpers for operations that split their work into bands on the pool.
//
//   struct MyBand : VovIredev::CPicThreadData { ...parameters...; const RECT* band; };
//   static int32_t MyBandProc(VovIredev::CPicThreadData* data) {
//       auto* r = static_cast<MyBand*>(data);
//       PicRunBand(r, [&] { CPicOperation op; op.DoBand(*r); return op.status; });
//       return 0;
//   }
//   if (ShouldRunThreaded(flags, height)) {
//       PicArray<RECT> bands;
//       if (!SplitIntoRowBands(bands, width, height, GetBandCount())) return PIC_ERR_OUT_OF_MEMORY;
//       status = PicRunBandJobs<MyBand>(MyBandProc, bands, [&](MyBand& r, const RECT& b) { ... });
//   }
#pragma once

#include <memory>
#include <new>

#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicThreadPool.h"

// Makes one Record per band, lets fill set its parameters, runs proc on each
// record on the pool and returns the first band error (1 without memory).
template <class Record, class Fill>
int32_t PicRunBandJobs(CPicThreadJobProc proc, const PicArray<RECT>& bands, Fill&& fill) {
    uint32_t n = bands.count;
    if (n == 0) return PIC_ERR_BAD_PARAM;
    std::unique_ptr<Record[]> records(new (std::nothrow) Record[n]);
    PicArray<VovIredev::CPicThreadData*> jobs(n);
    if (!records || jobs.IsEmpty()) return PIC_ERR_OUT_OF_MEMORY;
    for (uint32_t i = 0; i < n; ++i) {
        fill(records[i], bands[i]);
        jobs[i] = &records[i];
    }
    return PicPool().RunJobs(proc, jobs);
}

// The body of a band job procedure: when the submitter reports progress the
// band's operation reports into the record (and sees its cancel flag) through
// JobProgressCallback; body returns the band's result code.
template <class Body>
void PicRunBand(VovIredev::CPicThreadData* record, Body&& body) {
    CPicThreadState* state = GetThreadState();
    CPicProgressCallback previous = state != nullptr ? state->progressCallback : nullptr;
    void* previousUser = state != nullptr ? state->progressUser : nullptr;
    if (record->reportProgress) SetProgressCallback(JobProgressCallback, record);
    record->error = body();
    // A band run inline (inside another band) gives the outer band its hook back.
    SetProgressCallback(previous, previousUser);
}
