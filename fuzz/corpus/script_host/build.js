var r = [Build.buildSolution(), Build.batchCleanActiveProject(), Build.BuildCancelled];
r.push(Build.listTargetProcessors().length, Build.buildConfiguration.help);
Build.setBuildConfiguration('Debug');
r.join('|');
