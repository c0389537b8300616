var r = [Build.buildSolution(), Build.batchCleanActiveProject(), Build.BuildCancelled];
try { Build.setBuildConfiguration('Debug'); } catch (e) { r.push(e.message); }
r.push(Build.listTargetProcessors().length, Build.buildConfiguration.help);
r.join('|');
