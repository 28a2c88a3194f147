// The properties of one writer input: its connection name (that of the stream it feeds) and
// an uncompressed media type. Handed out by GetInputProps and GetInputFormat; the writer
// checks the type when it is given back through SetInputProps.
#pragma once

#include <string>

#include "ComPtr.h"
#include "OwnedMediaType.h"
#include "RefCounted.h"
#include "Wmsdk.h"

class InputProps final : public IWMInputMediaProps, private RefCounted {
 public:
  static ComPtr<InputProps> Create(const std::u16string& connection, const OwnedMediaType& type);

  WM_REFCOUNTED
  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetType(GUID* type) override;
  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
  HRESULT SetMediaType(WM_MEDIA_TYPE* type) override;
  HRESULT GetConnectionName(WCHAR* name, WORD* chars) override;
  HRESULT GetGroupName(WCHAR* name, WORD* chars) override;

 private:
  InputProps(const std::u16string& connection, const OwnedMediaType& type)
      : connection_(connection), type_(type) {}

  std::u16string connection_;
  OwnedMediaType type_;
};
