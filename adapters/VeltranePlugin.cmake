# veltrane_add_plugin declares one plug-in of the suite from its identity and builds it
# as VST3, LV2 and Standalone over the shared JUCE, engine, frame and gui libraries.
#
#   veltrane_add_plugin(quorrel
#     CLASS QuorrelAudioProcessor      # processor class, default-constructible
#     HEADER QuorrelAudioProcessor.h   # header that declares it
#     CODE +2qr                        # plug-in code (also the VST unique id)
#     CATEGORIES Fx Modulation         # VST3 categories
#     [MIDI_INPUT]
#     SOURCES ...)                     # the plug-in's own sources
#
# It creates <name>_core (processor, editor and own classes, linked by tools and tests)
# and the JUCE plug-in target <name> with <name>_VST3, <name>_LV2 and <name>_Standalone.
set(VELTRANE_COMPANY "Veltrane")
set(VELTRANE_MANUFACTURER_CODE VLTR)
set(VELTRANE_LV2_URI_BASE "https://veltrane.invalid/plugins")
set(VELTRANE_ADAPTERS_DIR ${CMAKE_CURRENT_LIST_DIR})

function(veltrane_add_plugin name)
  cmake_parse_arguments(ARG "MIDI_INPUT" "CLASS;HEADER;CODE" "CATEGORIES;SOURCES" ${ARGN})
  set(core ${name}_core)
  add_library(${core} STATIC ${ARG_SOURCES})
  target_include_directories(${core} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${core} PUBLIC veltrane_gui veltrane_frame veltrane_engine veltrane_juce)
  target_compile_options(${core} PRIVATE ${VELTRANE_WARNINGS})
  set_target_properties(${core} PROPERTIES POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

  if(ARG_MIDI_INPUT)
    set(midi TRUE)
  else()
    set(midi FALSE)
  endif()

  juce_add_plugin(${name}
    PRODUCT_NAME "${name}"
    PLUGIN_NAME "++${name}"
    DESCRIPTION "++${name}"
    VERSION ${PROJECT_VERSION}
    COMPANY_NAME "${VELTRANE_COMPANY}"
    BUNDLE_ID "com.veltrane.${name}"
    PLUGIN_MANUFACTURER_CODE ${VELTRANE_MANUFACTURER_CODE}
    PLUGIN_CODE ${ARG_CODE}
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT ${midi}
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    VST3_CATEGORIES ${ARG_CATEGORIES}
    LV2URI "${VELTRANE_LV2_URI_BASE}/${name}"
    FORMATS VST3 LV2 Standalone
    COPY_PLUGIN_AFTER_BUILD FALSE)

  # The one translation unit of the plug-in target: the factory the format wrappers call.
  set(entry ${CMAKE_CURRENT_BINARY_DIR}/${name}_entry.cpp)
  file(WRITE ${entry}.in
    "#include \"${ARG_HEADER}\"\n"
    "juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new ${ARG_CLASS}(); }\n")
  configure_file(${entry}.in ${entry} COPYONLY)
  target_sources(${name} PRIVATE ${entry})
  target_link_libraries(${name} PUBLIC ${core})
  # Debian's JUCE ignores LV2URI for the wrapper, so the URI is also defined directly.
  target_compile_definitions(${name} PUBLIC
    JucePlugin_LV2URI="${VELTRANE_LV2_URI_BASE}/${name}")
  # An LV2 host unloads the library with its last instance; it stays (see the source).
  target_sources(${name}_LV2 PRIVATE ${VELTRANE_ADAPTERS_DIR}/LibraryStaysLoaded.cpp)
  # The standalone program's application: JACK when a server runs (see StandaloneApp.cpp).
  target_sources(${name}_Standalone PRIVATE ${VELTRANE_ADAPTERS_DIR}/StandaloneApp.cpp)
  target_compile_definitions(${name}_Standalone PRIVATE JUCE_USE_CUSTOM_PLUGIN_STANDALONE_APP=1)
  if(EXISTS "${VELTRANE_JUCE_OVERRIDES}")
    target_include_directories(${name}_VST3 BEFORE PRIVATE "${VELTRANE_JUCE_OVERRIDES}")
  endif()
  foreach(kind VST3 LV2 Standalone)
    # Keep FFTW's and JUCE's symbols inside each binary so two plug-ins of the suite
    # loaded into one host never share planner state.
    target_link_options(${name}_${kind} PRIVATE -Wl,--exclude-libs,ALL)
  endforeach()

  install(DIRECTORY $<TARGET_FILE_DIR:${name}_VST3>/../../ DESTINATION lib/vst3/${name}.vst3
    USE_SOURCE_PERMISSIONS)
  install(DIRECTORY $<TARGET_FILE_DIR:${name}_LV2>/ DESTINATION lib/lv2/${name}.lv2
    USE_SOURCE_PERMISSIONS)
  install(TARGETS ${name}_Standalone RUNTIME DESTINATION bin)

  set_property(GLOBAL APPEND PROPERTY VELTRANE_PLUGINS ${name})
  set_property(GLOBAL PROPERTY VELTRANE_PLUGIN_${name}_CLASS ${ARG_CLASS})
  set_property(GLOBAL PROPERTY VELTRANE_PLUGIN_${name}_HEADER ${ARG_HEADER})
endfunction()
