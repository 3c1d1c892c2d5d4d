// Failures a script may run into every frame are logged once per cause: again only after the
// cause went away, or after EngineBridgeLifetime.ReleaseAll.
using System.Collections.Generic;

namespace Zerin
{
    internal sealed class OncePerCause
    {
        static readonly List<OncePerCause> all = new List<OncePerCause>();  // guarded by itself

        // Guarded by itself: scripts report on their thread, ReleaseAll may run on the unloader's.
        readonly HashSet<string> reported = new HashSet<string>();

        public OncePerCause()
        {
            lock (all) all.Add(this);
        }

        /// <summary>Logs <paramref name="message"/> unless <paramref name="cause"/> was reported
        /// and has not gone away since.</summary>
        public void Report(string cause, string message)
        {
            bool first;
            lock (reported) first = reported.Add(cause);
            if (first) BindingsLog.Warning(message);
        }

        public void Gone(string cause)
        {
            lock (reported) reported.Remove(cause);
        }

        public void ForgetAll()
        {
            lock (reported) reported.Clear();
        }

        public static void ForgetEverything()
        {
            OncePerCause[] reporters;
            lock (all) reporters = all.ToArray();
            foreach (OncePerCause reporter in reporters) reporter.ForgetAll();
        }
    }
}
