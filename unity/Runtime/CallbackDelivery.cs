// The one managed thread that delivers the plug-in's callbacks. Native threads (the render
// thread, the runtime's stream thread, the program manager clients' dispatchers) only copy their
// calls into the plug-in's callback queue; this thread, owned by the bindings, takes them out and
// runs the handlers. So no foreign thread ever enters managed code: stock Mono attaches such a
// thread to the domain for good, and the domain's unload then waits for it for ever.
using System;
using System.Threading;

namespace Zerin
{
    internal static class CallbackDelivery
    {
        public const string ThreadName = "Zerin callbacks";
        static readonly TimeSpan StopLimit = TimeSpan.FromSeconds(2);

        // Guards current and previous; held for a whole start or stop, so the two never overlap
        // and the queue never has two consumers.
        static readonly object sync = new object();
        static Consumer current;
        static Consumer previous;  // stopped, perhaps still in a handler that outlived StopLimit

        [ThreadStatic] static bool isDeliveryThread;

        public static bool OnDeliveryThread { get { return isDeliveryThread; } }

        sealed class Consumer
        {
            public readonly Thread Thread;
            public volatile bool Stopping;

            public Consumer()
            {
                Thread = new Thread(Run) { Name = ThreadName, IsBackground = true };
            }

            void Run()
            {
                isDeliveryThread = true;
                try
                {
                    while (!Stopping)
                    {
                        QueuedCallback next;
                        int result = Native.CallbackQueue_Next(out next, -1);
                        if (result < 0) return;
                        if (result > 0 && !Stopping) EngineBridgeCallbacks.Dispatch(ref next);
                    }
                }
                catch (ThreadAbortException)
                {
                    // The domain is going away without having released us; nothing to report.
                }
                catch (Exception exception)
                {
                    BindingsLog.Exception(exception);
                }
            }
        }

        /// <summary>Opens the queue and starts the thread unless it runs.</summary>
        public static void EnsureRunning()
        {
            lock (sync)
            {
                if (current != null) return;
                // Opening frees what the last consumer held: give a handler that outlived the
                // last stop one more chance to finish with it.
                if (previous != null && !previous.Thread.Join(StopLimit)) WarnStillRunning();
                previous = null;
                EngineBridgeLifetime.HandingOver();
                Native.CallbackQueue_Open();
                var consumer = new Consumer();
                consumer.Thread.Start();
                current = consumer;
            }
        }

        /// <summary>Closes the queue (calls queued from now on are dropped) and joins the thread
        /// within 2 s. On the thread itself (a handler releasing everything) it ends once the
        /// handler returns. False when it was not running.</summary>
        public static bool Stop()
        {
            lock (sync)
            {
                Consumer consumer = current;
                if (consumer == null) return false;
                current = null;
                consumer.Stopping = true;
                Native.CallbackQueue_Close();
                if (isDeliveryThread) return true;
                if (!consumer.Thread.Join(StopLimit))
                {
                    WarnStillRunning();
                    previous = consumer;
                }
                return true;
            }
        }

        static void WarnStillRunning()
        {
            BindingsLog.Warning("The thread \"" + ThreadName + "\" is still in a callback handler after " +
                                StopLimit.TotalSeconds + " s; going on without it");
        }
    }
}
