// The writer: takes a profile, offers one uncompressed input per profile stream (in profile
// order, named by the stream's connection name), and encodes what is written into one ASF
// file (AsfOutput) between BeginWriting and EndWriting. File attributes set through
// IWMHeaderInfo for stream 0 before BeginWriting go into the file's header.
//
// One file per interface: Writer.cc (IWMWriter: profile, inputs, writing), WriterAdvanced.cc
// (IWMWriterAdvanced) and WriterHeaderInfo.cc (IWMHeaderInfo, over an AttributeStore).
//
// Locking: one lock guards the whole writer and is held for each call, encoding included,
// so inputs fed from different threads are written one sample at a time. Sample buffers
// come from a pool with a lock of its own, so AllocateSample never waits for an encode.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AsfOutput.h"
#include "AttributeStore.h"
#include "RefCounted.h"
#include "SamplePool.h"
#include "StreamPlan.h"
#include "Wmsdk.h"

class Writer final : public IWMWriter,
                     public IWMWriterAdvanced,
                     public IWMHeaderInfo,
                     private RefCounted {
 public:
  Writer() : pool_(SamplePool::Create()) {}

  WM_REFCOUNTED
  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  // IWMWriter
  HRESULT SetProfileByID(REFGUID id) override;
  HRESULT SetProfile(IWMProfile* profile) override;
  HRESULT SetOutputFilename(const WCHAR* filename) override;
  HRESULT GetInputCount(DWORD* inputs) override;
  HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props) override;
  HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props) override;
  HRESULT GetInputFormatCount(DWORD input, DWORD* formats) override;
  HRESULT GetInputFormat(DWORD input, DWORD format, IWMInputMediaProps** props) override;
  HRESULT BeginWriting() override;
  HRESULT EndWriting() override;
  HRESULT AllocateSample(DWORD size, INSSBuffer** sample) override;
  HRESULT WriteSample(DWORD input, QWORD sample_time, DWORD flags, INSSBuffer* sample) override;
  HRESULT Flush() override;

  // IWMWriterAdvanced (the writer writes only to its file: no further sinks)
  HRESULT GetSinkCount(DWORD* sinks) override;
  HRESULT GetSink(DWORD index, IWMWriterSink** sink) override;
  HRESULT AddSink(IWMWriterSink* sink) override;
  HRESULT RemoveSink(IWMWriterSink* sink) override;
  HRESULT RemoveAllSinks() override;
  HRESULT WriteStreamSample(WORD stream, QWORD sample_time, DWORD send_time, QWORD duration,
                            DWORD flags, INSSBuffer* sample) override;
  HRESULT SetLiveSource(BOOL live) override;
  HRESULT IsRealTime(BOOL* real_time) override;
  HRESULT GetWriterTime(QWORD* time) override;
  HRESULT GetStatistics(WORD stream, WM_WRITER_STATISTICS* statistics) override;
  HRESULT SetSyncTolerance(DWORD milliseconds) override;
  HRESULT GetSyncTolerance(DWORD* milliseconds) override;

  // IWMHeaderInfo (attributes only; markers and scripts are not supported)
  HRESULT GetAttributeCount(WORD stream, WORD* attributes) override;
  HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* name_chars,
                              WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override;
  HRESULT GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* length) override;
  HRESULT SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length) override;
  HRESULT GetMarkerCount(WORD* markers) override;
  HRESULT GetMarker(WORD index, WCHAR* name, WORD* name_chars, QWORD* time) override;
  HRESULT AddMarker(LPCWSTR name, QWORD time) override;
  HRESULT RemoveMarker(WORD index) override;
  HRESULT GetScriptCount(WORD* scripts) override;
  HRESULT GetScript(WORD index, WCHAR* type, WORD* type_chars, WCHAR* command,
                    WORD* command_chars, QWORD* time) override;
  HRESULT AddScript(LPCWSTR type, LPCWSTR command, QWORD time) override;
  HRESULT RemoveScript(WORD index) override;

 private:
  struct Counters {
    QWORD samples = 0;
    QWORD bytes = 0;
  };

  // The uncompressed types an input feeding `stream` offers, the first being its default.
  static std::vector<OwnedMediaType> OfferedTypes(const StreamPlan& stream);
  static HRESULT CheckInputType(const StreamPlan& stream, const OwnedMediaType& type);

  std::mutex lock_;  // guards every member below
  std::vector<StreamPlan> streams_;      // from the profile; input i feeds streams_[i]
  std::vector<OwnedMediaType> inputs_;   // the type of each input
  std::vector<Counters> counters_;       // per input, since BeginWriting
  std::u16string filename_;
  AttributeStore attributes_;
  std::unique_ptr<AsfOutput> output_;    // while writing
  QWORD writer_time_ = 0;                // latest sample time written
  DWORD sync_tolerance_ = 0;

  const std::shared_ptr<SamplePool> pool_;
};
