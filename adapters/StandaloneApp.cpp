// The standalone program of each plug-in: JUCE's standalone window and settings, with the
// audio system a Linux studio expects. A running JACK server is used unless the user chose
// otherwise in the audio settings; without one, ALSA. Only a setup the user changed is
// remembered, so an automatic choice is made afresh at the next start.

#include <juce_core/system/juce_TargetPlatform.h>
#include <juce_audio_plugin_client/utility/juce_CheckSettingMacros.h>
#include <juce_audio_plugin_client/utility/juce_IncludeSystemHeaders.h>
#include <juce_audio_plugin_client/utility/juce_IncludeModuleHeaders.h>

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

namespace veltrane
{
namespace
{
const char* const setupKey = "audioSetup"; // where JUCE's standalone window keeps the device setup

/** A setup that opens the JACK server's default ports, or nothing when no server runs. */
std::unique_ptr<juce::XmlElement> runningJackSetup()
{
    std::unique_ptr<juce::AudioIODeviceType> jack (juce::AudioIODeviceType::createAudioIODeviceType_JACK());
    if (jack == nullptr)
        return nullptr;
    jack->scanForDevices(); // opens a probing client only if a server is already running
    const auto inputs = jack->getDeviceNames (true), outputs = jack->getDeviceNames (false);
    if (outputs.isEmpty())
        return nullptr;
    auto xml = std::make_unique<juce::XmlElement> ("DEVICESETUP");
    xml->setAttribute ("deviceType", jack->getTypeName());
    xml->setAttribute ("audioOutputDeviceName", outputs[juce::jmax (0, jack->getDefaultDeviceIndex (false))]);
    if (! inputs.isEmpty())
        xml->setAttribute ("audioInputDeviceName", inputs[juce::jmax (0, jack->getDefaultDeviceIndex (true))]);
    return xml;
}
} // namespace

class StandaloneApp : public juce::JUCEApplication
{
public:
    StandaloneApp()
    {
        juce::PropertiesFile::Options options;
        options.applicationName = getApplicationName();
        options.filenameSuffix = ".settings";
        options.osxLibrarySubFolder = "Application Support";
        options.folderName = "~/.config";
        appProperties.setStorageParameters (options);
    }

    const juce::String getApplicationName() override { return juce::CharPointer_UTF8 (JucePlugin_Name); }
    const juce::String getApplicationVersion() override { return JucePlugin_VersionString; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void anotherInstanceStarted (const juce::String&) override {}

    void initialise (const juce::String&) override
    {
        auto* settings = appProperties.getUserSettings();
        remembered = settings->getXmlValue (setupKey);
        if (remembered == nullptr)
            if (auto jack = runningJackSetup())
                settings->setValue (setupKey, jack.get());

        mainWindow = std::make_unique<juce::StandaloneFilterWindow> (
            getApplicationName(),
            juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId), settings,
            false);

        // A remembered JACK setup while no server runs: ALSA for this run only.
        auto& devices = mainWindow->getDeviceManager();
        if (devices.getCurrentAudioDevice() == nullptr && devices.getCurrentAudioDeviceType() == "JACK")
            devices.setCurrentAudioDeviceType ("ALSA", true);

        automaticType = devices.getCurrentAudioDeviceType();
        automaticSetup = devices.getAudioDeviceSetup();
        mainWindow->setVisible (true);
    }

    void shutdown() override
    {
        auto& devices = mainWindow->getDeviceManager();
        const bool userChanged =
            devices.getCurrentAudioDeviceType() != automaticType || devices.getAudioDeviceSetup() != automaticSetup;
        mainWindow = nullptr; // stores the device setup in the settings
        auto* settings = appProperties.getUserSettings();
        if (! userChanged)
        {
            if (remembered != nullptr)
                settings->setValue (setupKey, remembered.get());
            else
                settings->removeValue (setupKey);
        }
        appProperties.saveIfNeeded();
    }

    void systemRequestedQuit() override
    {
        if (mainWindow != nullptr)
            mainWindow->pluginHolder->savePluginState();
        if (juce::ModalComponentManager::getInstance()->cancelAllModalComponents())
            juce::Timer::callAfterDelay (100, [] {
                if (auto* app = juce::JUCEApplicationBase::getInstance())
                    app->systemRequestedQuit();
            });
        else
            quit();
    }

private:
    juce::ApplicationProperties appProperties;
    std::unique_ptr<juce::StandaloneFilterWindow> mainWindow;
    std::unique_ptr<juce::XmlElement> remembered; // the user's setup from an earlier run
    juce::String automaticType;
    juce::AudioDeviceManager::AudioDeviceSetup automaticSetup;
};
} // namespace veltrane

juce::JUCEApplicationBase* juce_CreateApplication() { return new veltrane::StandaloneApp(); }
