tovan.setGlobalMacro('Board', 'demo');
var s = tovan.replaceMacros('$(Board)_$(Configuration)') + tovan.getSystemMacro('TovanDir');
tovan.setSessionSetting('a/b', s);
tovan.formatXMLString('<a><b x="1"/></a>', 4, 'a') + tovan.getSessionSetting('a/b') +
    tovan.getTovanTargetNumber();
