<%
' The product's data-provider entry point for pages: NewDataProvider(name) gives the provider
' object a page header configures (key fields, return fields, criteria, translations, links).
Function NewDataProvider(pName)
	Set NewDataProvider = Server.CreateObject("Corvane.DataProvider")
	NewDataProvider.Name = pName
End Function
%>
