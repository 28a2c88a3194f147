#include "WindowHarness.h"

#include <dlfcn.h>

#include <QAbstractButton>
#include <QApplication>
#include <QThread>
#include <fstream>

extern "C" {
#include <libavutil/log.h>
}

#include "ComRuntime.h"
#include "ControlIds.h"
#include "GraphClasses.h"
#include "GraphConverter.h"
#include "Recording.h"
#include "ScopedTestRegistry.h"

namespace recast::ui::test {
namespace {

namespace fs = std::filesystem;

HRESULT Register(const char* module) {
  void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return E_FAIL;
  const auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllRegisterServer"));
  const HRESULT hr = entry ? entry() : E_FAIL;
  dlclose(handle);
  return hr;
}

// What every test shares: the application object, COM, the graph classes and a registry
// holding the filter modules of this build.
class UiEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    av_log_set_level(AV_LOG_ERROR);
    static int argc = 1;
    static char name[] = "recastui_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    registry_ = std::make_unique<ScopedTestRegistry>();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    classes_ = std::make_unique<InProcessGraphClasses>();
    for (const char* module : {RECORDER_FILTERS_MODULE, SYSFILTERS_MODULE, FFDSHOW_MODULE, WMSINK_MODULE})
      ASSERT_EQ(S_OK, Register(module)) << module;
  }
  void TearDown() override {
    classes_.reset();
    CoUninitialize();
    registry_.reset();
    app_.reset();
  }

 private:
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<ScopedTestRegistry> registry_;
  std::unique_ptr<InProcessGraphClasses> classes_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment);

MainWindow::FactoryMaker RealConverters() {
  return [](MessageSink messages, PropertyFrameFn frame) -> ConverterFactory {
    return [messages, frame] { return std::make_unique<CConverter>(messages, frame); };
  };
}

}  // namespace

void WindowTest::SetUp() {
  char pattern[] = "/tmp/recast_ui_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  dir_ = pattern;
  window_ = std::make_unique<MainWindow>(RealConverters());
  WindowHooks& hooks = window_->Hooks();
  hooks.message = [this](const QString& text, const QString& caption) {
    shown_.push_back({text.toStdString(), caption.toStdString()});
  };
  hooks.chooseFile = [this] {
    const QString path = chosen_.empty() ? QString() : chosen_.front();
    if (!chosen_.empty()) chosen_.erase(chosen_.begin());
    return path;
  };
  hooks.chooseFolder = hooks.chooseFile;
  hooks.openUrl = [this](const QUrl& url) {
    opened_.push_back(url);
    return true;
  };
  hooks.confirmClose = [this] {
    ++closeQuestions_;
    return true;
  };
  window_->show();
}

void WindowTest::TearDown() {
  if (window_) {
    window_->close();
    window_.reset();
  }
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string WindowTest::Write(const std::string& name, int width, int height, int frames,
                              std::optional<uint32_t> audio) {
  recgen::Options options;
  options.width = width;
  options.height = height;
  options.frames = frames;
  options.audioCode = audio;
  options.output = (dir_ / name).string();
  fs::create_directories(fs::path(options.output).parent_path());
  recgen::WriteRecording(options);
  return options.output;
}

std::string WindowTest::WriteJunk(const std::string& name) {
  const std::string path = (dir_ / name).string();
  std::ofstream(path) << std::string(4096, 'x');
  return path;
}

bool WindowTest::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

void WindowTest::AddFile(const std::string& path) {
  chosen_.push_back(QString::fromStdString(path));
  window_->OnAddFile();
  WaitIdle();
}

void WindowTest::AddFolder(const std::string& path) {
  chosen_.push_back(QString::fromStdString(path));
  window_->OnAddFolder();
  WaitIdle();
}

void WindowTest::Click(int id) {
  auto* button = window_->findChild<QAbstractButton*>(QString::number(id));
  ASSERT_NE(nullptr, button) << id;
  button->click();
}

void WindowTest::StartFrom(int row) {
  window_->OnRowClicked(row);
  WaitIdle();
  Click(ids::kStart);
}

bool WindowTest::Enabled(int id) const {
  const auto* widget = window_->findChild<QWidget*>(QString::number(id));
  EXPECT_NE(nullptr, widget) << id;
  return widget && widget->isEnabled();
}

bool WindowTest::MenuEnabled(int id) {
  window_->UpdateMenu();
  const auto* action = window_->ContextMenu()->findChild<QAction*>(QString::number(id));
  EXPECT_NE(nullptr, action) << id;
  return action && action->isEnabled();
}

}  // namespace recast::ui::test
