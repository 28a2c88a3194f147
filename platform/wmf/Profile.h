// A profile: a version and an ordered list of stream configurations. AddStream keeps a copy,
// GetStream hands out a copy, as the SDK does; ReconfigStream replaces the stream with the
// same number. Mutual exclusions are not supported.
#pragma once

#include <string>
#include <vector>

#include "StreamConfig.h"

class Profile final : public IWMProfile, private RefCounted {
 public:
  static HRESULT Create(WMT_VERSION version, ComPtr<Profile>* out);

  WM_REFCOUNTED
  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetVersion(WMT_VERSION* version) override;
  HRESULT GetName(WCHAR* name, DWORD* chars) override;
  HRESULT SetName(const WCHAR* name) override;
  HRESULT GetDescription(WCHAR* description, DWORD* chars) override;
  HRESULT SetDescription(const WCHAR* description) override;
  HRESULT GetStreamCount(DWORD* count) override;
  HRESULT GetStream(DWORD index, IWMStreamConfig** config) override;
  HRESULT GetStreamByNumber(WORD number, IWMStreamConfig** config) override;
  HRESULT RemoveStream(IWMStreamConfig* config) override;
  HRESULT RemoveStreamByNumber(WORD number) override;
  HRESULT AddStream(IWMStreamConfig* config) override;
  HRESULT ReconfigStream(IWMStreamConfig* config) override;
  HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** config) override;
  HRESULT GetMutualExclusionCount(DWORD* count) override;
  HRESULT GetMutualExclusion(DWORD index, IWMMutualExclusion** exclusion) override;
  HRESULT RemoveMutualExclusion(IWMMutualExclusion* exclusion) override;
  HRESULT AddMutualExclusion(IWMMutualExclusion* exclusion) override;
  HRESULT CreateNewMutualExclusion(IWMMutualExclusion** exclusion) override;

 private:
  explicit Profile(WMT_VERSION version) : version_(version) {}
  // The stream with `number`, or end().
  std::vector<ComPtr<StreamConfig>>::iterator FindNumber(WORD number);
  // A copy of a configuration this library made; E_INVALIDARG for foreign objects.
  static HRESULT CopyOf(IWMStreamConfig* config, ComPtr<StreamConfig>* copy);

  WMT_VERSION version_;
  std::u16string name_;
  std::u16string description_;
  std::vector<ComPtr<StreamConfig>> streams_;
};
